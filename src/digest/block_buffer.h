// The update step every block digest shares: complete a partly filled block first, then
// hand whole blocks to the kernel straight from the caller's bytes, keep the rest.
#pragma once

#include <cstddef>
#include <cstring>

// `block` holds `used` buffered bytes (used < kBlockSize). `transform(data, count)` runs the
// kernel over `count` whole blocks at `data`.
template <std::size_t kBlockSize, typename Transform>
void feed_blocks(unsigned char* block, std::size_t used, const unsigned char* bytes, std::size_t n,
                 Transform transform) {
  if (n == 0) return;  // `bytes` may then be null, which memcpy does not allow
  if (used != 0) {
    std::size_t take = n < kBlockSize - used ? n : kBlockSize - used;
    std::memcpy(block + used, bytes, take);
    bytes += take;
    n -= take;
    if (used + take < kBlockSize) return;
    transform(block, 1);
  }
  if (n >= kBlockSize) {
    transform(bytes, n / kBlockSize);
    bytes += n - n % kBlockSize;
    n %= kBlockSize;
  }
  if (n != 0) std::memcpy(block, bytes, n);
}

// Writes each byte of `digest` as two upper-case hexadecimal digits and a closing NUL.
inline void render_hex(const unsigned char* digest, std::size_t n, char* text_out) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < n; ++i) {
    text_out[2 * i] = kDigits[digest[i] >> 4];
    text_out[2 * i + 1] = kDigits[digest[i] & 0x0F];
  }
  text_out[2 * n] = '\0';
}
