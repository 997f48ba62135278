#include "output/escaped_name.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr bool control_byte(unsigned char byte) {
  return byte < 0x20 || byte == 0x7F;
}

// The bytes that can begin a control character: every name of a record is scanned for them,
// so each byte costs one look-up.
constexpr std::array<bool, 256> kMayBeginControl = [] {
  std::array<bool, 256> may{};
  for (int byte = 0; byte < 256; ++byte) {
    may[static_cast<std::size_t>(byte)] =
        control_byte(static_cast<unsigned char>(byte)) || byte == 0xC2;
  }
  return may;
}();

// The length of the control character at `at`, or 0 when there is none.
std::size_t control_at(std::string_view text, std::size_t at) {
  const auto byte = static_cast<unsigned char>(text[at]);
  if (control_byte(byte)) return 1;
  if (byte != 0xC2 || at + 1 >= text.size()) return 0;
  const auto next = static_cast<unsigned char>(text[at + 1]);
  return next >= 0x80 && next <= 0x9F ? 2 : 0;
}

// Whether a byte of `word` is below 0x20, is 0x7F or is 0xC2: the test for a zero byte of a
// machine word, applied to eight bytes of a name at once. Exact, whatever the byte order.
bool word_may_hold_control(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kHigh = 0x8080808080808080;
  auto has_zero = [](std::uint64_t x) { return ((x - kOnes) & ~x & kHigh) != 0; };
  const bool below_space = ((word - 0x20 * kOnes) & ~word & kHigh) != 0;
  return below_space || has_zero(word ^ (0x7F * kOnes)) || has_zero(word ^ (0xC2 * kOnes));
}

void append_hex_byte(std::string* out, unsigned char byte) {
  static const char kDigits[] = "0123456789ABCDEF";
  *out += "\\x";
  *out += kDigits[byte >> 4];
  *out += kDigits[byte & 0x0F];
}

}  // namespace

bool holds_control(std::string_view text) {
  // Every name of a record passes here: whole words first, up to one that may hold one.
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if (word_may_hold_control(word)) break;
  }
  for (; i < text.size(); ++i) {
    if (kMayBeginControl[static_cast<unsigned char>(text[i])] && control_at(text, i) != 0) {
      return true;
    }
  }
  return false;
}

std::string escape_name(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const std::size_t control = control_at(text, i);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (control == 0) {
      out += c;
    } else {
      for (std::size_t k = 0; k < control; ++k) {
        append_hex_byte(&out, static_cast<unsigned char>(text[i + k]));
      }
      i += control - 1;
    }
  }
  return out;
}
