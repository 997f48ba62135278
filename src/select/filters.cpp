#include "select/filters.h"

#include <cctype>

#include "run/settings.h"
#include "select/file_dates.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kFirstTableYear = 1900;
constexpr int kFirstTableEntry = 19000;
// Years the 32-bit time conversion of the date arguments can represent.
constexpr int kFirstConvertibleYear = 1970;
constexpr int kLastConvertibleYear = 2038;

constexpr int kMonthLength[2][13] = {
    {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

bool is_leap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Leap years from year 0 up to and including `year`, by the Gregorian rule.
std::int64_t leaps_through(std::int64_t year) {
  return floor_div(year, 4) - floor_div(year, 100) + floor_div(year, 400);
}

// The year table's entry: 19000 for 1900, each year adding its own length. Computed rather
// than stored so that every year a clock or a file system can report has its entry.
std::int64_t year_start(int year) {
  std::int64_t y = year;
  return kFirstTableEntry + 365 * (y - kFirstTableYear) + leaps_through(y - 1) -
         leaps_through(kFirstTableYear - 1);
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

char char_at(const std::string& text, std::size_t i) {
  return i < text.size() ? text[i] : '\0';
}

// Digits from `first` up to `count` characters, stopping at the first non-digit; 0 when none.
int digits_at(const std::string& text, std::size_t first, std::size_t count) {
  int value = 0;
  for (std::size_t i = first; i < first + count && is_digit(char_at(text, i)); ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

struct Layout {
  std::size_t month;
  std::size_t day;
  std::size_t year;
  std::size_t year_length;
};

int length_class(const std::string& text, bool separated) {
  if (separated) {
    if (!is_digit(char_at(text, 8))) return 8;
    return is_digit(char_at(text, 9)) ? 10 : 9;
  }
  int count = 5;
  while (count < 8) {
    char c = char_at(text, static_cast<std::size_t>(count));
    if (c == ' ') return 6;
    if (!is_digit(c)) break;
    ++count;
  }
  return count;
}

Layout choose_layout(bool separated, int length, int v) {
  if (separated) {
    if (length == 8 && v > 12) return {3, 6, 0, 2};
    if (length == 10) return v <= 13 ? Layout{0, 3, 6, 4} : Layout{5, 8, 0, 4};
    return {0, 3, 6, 2};
  }
  if (length == 6 && v > 12) return {2, 4, 0, 2};
  if (length == 8) {
    if (v <= 13) return {0, 2, 4, 4};
    if (v <= 20) return {4, 6, 0, 4};
    return {2, 4, 0, 2};
  }
  return {0, 2, 4, 2};
}

bool is_date_separator(char c) {
  return c == '-' || c == '/' || c == '\\';
}

// The date with each one-digit field widened to two digits and its separators written as '-',
// so that "2-5-2006" and "2005-3-7" find their rows of the layout table as "02-05-2006" and
// "2005-03-07" do. A text that is not digit groups parted by single separators (one may close
// it, as in "20050301-") is left as it stands, for the layout table to read or refuse.
std::string widened_fields(const std::string& text) {
  std::string widened;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t group = i;
    while (i < text.size() && is_digit(text[i])) ++i;
    if (i == group) return text;
    if (i - group == 1) widened += '0';
    widened += text.substr(group, i - group);
    if (i == text.size()) break;
    if (!is_date_separator(text[i])) return text;
    widened += '-';
    ++i;
  }
  return widened;
}

std::string without_blanks_around(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

bool all_digits(const std::string& text, std::size_t first, std::size_t count) {
  for (std::size_t i = first; i < first + count; ++i) {
    if (!is_digit(char_at(text, i))) return false;
  }
  return true;
}

// Two-digit years: 00 to 09 are 2000 to 2009, 11 to 99 are 1911 to 1999; any year still
// below 1900 gains 1900 (so 10 is 1910 and 0100 is 2000).
int windowed_year(int year) {
  if (year <= 9) year += 2000;
  if (year >= 11 && year <= 99) year += 1900;
  return year < 1900 ? year + 1900 : year;
}

int today_day_number() {
  CalendarTime now;
  if (!os().to_calendar(os().now_seconds(), true, &now)) return 0;
  return day_number(now.month, now.day, now.year);
}

// The local date of a raw file time; a time never set dates as 0/0/1980.
int file_time_day_number(FileTime time) {
  std::int64_t seconds = static_cast<std::int64_t>(time / kFileTimeTicksPerSecond) -
                         static_cast<std::int64_t>(kEpochDifferenceSeconds);
  CalendarTime date;
  if (time == 0 || !os().to_calendar(seconds, true, &date) || date.year <= 1601) {
    return day_number(0, 0, 1980);
  }
  return day_number(date.month, date.day, date.year);
}

FileTime chosen_time(const FileFacts& file, int choice) {
  if (choice == 'a' || choice == 'A') return file.last_access;
  if (choice == 'c' || choice == 'C') return file.creation;
  return file.last_write;
}

// The exact-instant test. A time the file system never set (0) says nothing about when the
// file was made or touched, so it satisfies neither bound.
bool some_chosen_time(const FileFacts& file, bool (*holds)(FileTime)) {
  const auto& chosen = settings.date_test_times;
  if (chosen.access && file.last_access != 0 && holds(file.last_access)) return true;
  if (chosen.creation && file.creation != 0 && holds(file.creation)) return true;
  return chosen.write && file.last_write != 0 && holds(file.last_write);
}

bool passes_instant_test(const FileFacts& file) {
  if (settings.older_given &&
      !some_chosen_time(file, [](FileTime t) { return t < settings.older_date; })) {
    return false;
  }
  return !settings.newer_given ||
         some_chosen_time(file, [](FileTime t) { return t > settings.newer_date; });
}

bool passes_age_test(const FileFacts& file) {
  int age = today_day_number() - file_time_day_number(chosen_time(file, settings.time_kind));
  return settings.older_days <= age && age < settings.newer_days;
}

bool passes_date_test(const FileFacts& file) {
  const auto& chosen = settings.date_test_times;
  if (chosen.access || chosen.creation || chosen.write) return passes_instant_test(file);
  return passes_age_test(file);
}

bool passes_size_test(const FileFacts& file) {
  const std::uint64_t size = file.size > 0 ? static_cast<std::uint64_t>(file.size) : 0;
  const SizeLimit& least = settings.size_greater_than;
  const SizeLimit& most = settings.size_less_than;
  if (settings.size_greater && !least.negative && size < least.bytes) return false;
  return !settings.size_less || (!most.negative && size <= most.bytes);
}

bool passes_attribute_test(const FileFacts& file) {
  std::uint32_t plus = settings.attr_masks.plus;
  std::uint32_t minus = settings.attr_masks.minus;
  return (file.attributes & plus) == plus && (file.attributes & minus) == 0;
}

}  // namespace

int day_of_year(int month, int day, int year) {
  const int* lengths = kMonthLength[is_leap(year) ? 1 : 0];
  if (month < 0 || month > 12 || day < 0 || day > lengths[month]) return -1;
  int result = day;
  for (int m = 1; m < month; ++m) result += lengths[m];
  return result;
}

int day_number(int month, int day, int year) {
  int in_year = day_of_year(month, day, year);
  if (in_year < 0) return 0;
  return static_cast<int>(year_start(year) + in_year);
}

int file_age_days(const std::string& path, int choice) {
  FileTimes times;
  if (times_by_search(path, &times, 0) != 0) return kAgeUnknown;
  const Stamp* date = &times.last_write;
  if (choice == 'a' || choice == 'A') date = &times.last_access;
  if (choice == 'c' || choice == 'C') date = &times.creation;
  return today_day_number() - day_number(date->month, date->day, date->year);
}

void take_date_letters(std::string* text) {
  std::size_t cut = std::string::npos;
  for (std::size_t i = 0; i < text->size(); ++i) {
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>((*text)[i])));
    if (c == 'a') settings.date_test_times.access = 1;
    if (c == 'c') settings.date_test_times.creation = 1;
    if (c == 'w') settings.date_test_times.write = 1;
    if ((c == 'a' || c == 'c' || c == 'w') && cut == std::string::npos) cut = i;
  }
  if (cut != std::string::npos) text->resize(cut);
}

std::uint32_t days_since_date(int month, int day, int year) {
  auto instant = static_cast<std::uint32_t>(local_midnight_seconds(month, day, year));
  auto now = static_cast<std::uint32_t>(os().now_seconds());
  return (now - instant) / static_cast<std::uint32_t>(kSecondsPerDay);
}

bool parse_date_layout(const std::string& text, int* month, int* day, int* year) {
  std::string date = widened_fields(without_blanks_around(text));
  bool separated = !(is_digit(char_at(date, 2)) && is_digit(char_at(date, 4)));
  Layout layout = choose_layout(separated, length_class(date, separated), digits_at(date, 0, 2));
  if (!all_digits(date, layout.month, 2) || !all_digits(date, layout.day, 2) ||
      !all_digits(date, layout.year, layout.year_length)) {
    return false;
  }
  *month = digits_at(date, layout.month, 2);
  *day = digits_at(date, layout.day, 2);
  *year = windowed_year(digits_at(date, layout.year, layout.year_length));
  return true;
}

std::int64_t local_midnight_seconds(int month, int day, int year) {
  if (year < kFirstConvertibleYear || year > kLastConvertibleYear) return -1;
  return os().local_standard_seconds(year, month, day, 0, 0, 0);
}

FileTime date_to_file_time(int month, int day, int year) {
  std::int64_t seconds = local_midnight_seconds(month, day, year);
  return static_cast<FileTime>(seconds + static_cast<std::int64_t>(kEpochDifferenceSeconds)) *
         kFileTimeTicksPerSecond;
}

bool passes_filters(const FileFacts& file) {
  if (settings.date_filter && !passes_date_test(file)) return false;
  if (!passes_size_test(file)) return false;
  return passes_attribute_test(file);
}
