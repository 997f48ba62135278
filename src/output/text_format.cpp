#include "output/text_format.h"

#include <cstdarg>
#include <cstdio>

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
