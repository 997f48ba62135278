// UTF-8 inside the program, UTF-16 at the system calls. NTFS names are sequences of 16-bit
// units that need not be valid UTF-16, so a lone surrogate is carried in UTF-8 as its own
// three-byte sequence (as if it were a character) and comes back as the same unit: every
// name the system lists can be opened again by the name the program holds.
#include "platform/win32/system_win32.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void append_utf8(char32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

void append_utf16(char32_t code, std::wstring* out) {
  if (code < 0x10000) {
    out->push_back(static_cast<wchar_t>(code));
  } else {
    code -= 0x10000;
    out->push_back(static_cast<wchar_t>(0xD800 | (code >> 10)));
    out->push_back(static_cast<wchar_t>(0xDC00 | (code & 0x3FF)));
  }
}

// One code point decoded from `text` at `*at`, which moves past it. A malformed sequence
// gives U+FFFD and consumes one byte, so the next character still comes through. Surrogate
// values are accepted: they are how a lone surrogate of a name travels.
char32_t next_code(std::string_view text, std::size_t* at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(*at);
  if (lead < 0x80) {
    ++*at;
    return lead;
  }
  int extra = (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 0;
  if (extra == 0 || *at + extra >= text.size()) {
    ++*at;
    return kReplacement;
  }
  char32_t code = lead & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    if ((byte(*at + i) & 0xC0) != 0x80) {
      ++*at;
      return kReplacement;
    }
    code = (code << 6) | (byte(*at + i) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[extra] || code > 0x10FFFF) {
    ++*at;
    return kReplacement;
  }
  *at += extra + 1;
  return code;
}

bool is_high(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

namespace win32 {

std::wstring to_wide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    char32_t code = next_code(text, &at);
    // A surrogate pair written as two three-byte sequences is the character they make.
    if (is_high(code) && at < text.size()) {
      std::size_t after = at;
      char32_t low = next_code(text, &after);
      if (is_low(low)) {
        append_utf16(0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00), &out);
        at = after;
        continue;
      }
    }
    append_utf16(code, &out);
  }
  return out;
}

std::string to_utf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t unit = static_cast<char16_t>(text[i]);
    if (is_high(unit) && i + 1 < text.size() && is_low(static_cast<char16_t>(text[i + 1]))) {
      char32_t low = static_cast<char16_t>(text[++i]);
      append_utf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), &out);
    } else {
      append_utf8(unit, &out);
    }
  }
  return out;
}

std::string error_text(unsigned long code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr) text = to_utf8(std::wstring_view(buffer, length));
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) text = "system error " + std::to_string(code);
  return text;
}

}  // namespace win32
