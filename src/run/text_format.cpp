#include "run/text_format.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

int append_format(std::string* out, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) {
    va_end(args);
    return 0;
  }
  std::size_t start = out->size();
  // vsnprintf writes the terminator too; the string's own end mark takes it.
  out->resize(start + static_cast<std::size_t>(length));
  std::vsnprintf(out->data() + start, static_cast<std::size_t>(length) + 1, format, args);
  va_end(args);
  return length;
}

std::string upper_case_ascii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string printable_text(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return text;
}

std::string time_text(std::int64_t seconds, bool local) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  CalendarTime c;
  if (!os().to_calendar(seconds, local, &c)) return "";
  if (c.weekday < 0 || c.weekday > 6 || c.month < 1 || c.month > 12) return "";
  std::string text;
  append_format(&text, "%.3s %.3s %02d %02d:%02d:%02d %d", kDays[c.weekday], kMonths[c.month - 1],
                c.day, c.hour, c.minute, c.second, c.year);
  return text;
}
