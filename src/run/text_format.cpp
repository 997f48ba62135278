#include "run/text_format.h"

#include <cstdarg>
#include <cstdio>
#include <string_view>

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

namespace {

// The length of the well-formed UTF-8 sequence at the start of `rest` and its code point; 0
// when it is not one (a stray byte, an overlong form, a surrogate, beyond U+10FFFF).
std::size_t utf8_sequence(std::string_view rest, char32_t* code) {
  const auto lead = static_cast<unsigned char>(rest[0]);
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || rest.size() < length) return 0;
  char32_t value = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(rest[i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *code = value;
  return length;
}

bool is_control(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

}  // namespace

std::string printable_text(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    std::size_t length = utf8_sequence(text.substr(at), &code);
    if (length == 0) {
      // A byte outside any UTF-8 sequence is taken as one character of an 8-bit code page,
      // where 0x80-0x9F are the controls a terminal obeys.
      code = static_cast<unsigned char>(text[at]);
      length = 1;
    }
    if (is_control(code)) {
      shown += '?';
    } else {
      shown.append(text, at, length);
    }
    at += length;
  }
  return shown;
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
