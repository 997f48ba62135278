// The update and final steps every block digest shares: complete a partly filled block first,
// then hand whole blocks to the kernel straight from the caller's bytes, keep the rest.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

#include "digest/digest_kinds.h"

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

// The last update and the padding in one: the buffered `used` bytes, the `n` last bytes, the
// 0x80 byte, zeros and the `kLengthSize` bytes of `length` go to the kernel as one run of one
// or more blocks, so that a short message costs a single call. A longer tail goes through
// feed_blocks first, all but its last partial block.
template <std::size_t kBlockSize, std::size_t kLengthSize, typename Transform>
void feed_last(unsigned char* block, std::size_t used, const unsigned char* bytes, std::size_t n,
               const unsigned char* length, Transform transform) {
  if (used + n > kLastRunBytes) {
    const std::size_t bulk = n - (used + n) % kBlockSize;
    feed_blocks<kBlockSize>(block, used, bytes, bulk, transform);
    used = 0;
    bytes += bulk;
    n -= bulk;
  }
  alignas(16) unsigned char run[kLastRunBytes + 2 * kBlockSize];
  if (used != 0) std::memcpy(run, block, used);
  if (n != 0) std::memcpy(run + used, bytes, n);
  std::size_t at = used + n;
  run[at++] = 0x80;
  const std::size_t blocks = (at + kLengthSize + kBlockSize - 1) / kBlockSize;
  const std::size_t end = blocks * kBlockSize;
  std::memset(run + at, 0, end - kLengthSize - at);
  std::memcpy(run + end - kLengthSize, length, kLengthSize);
  transform(run, blocks);
}

// The two upper-case hexadecimal digits of every byte value, so that a byte is rendered with
// one look-up.
inline constexpr std::array<char, 512> kHexPairs = [] {
  std::array<char, 512> pairs{};
  const char digits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < 256; ++i) {
    pairs[2 * i] = digits[i >> 4];
    pairs[2 * i + 1] = digits[i & 0x0F];
  }
  return pairs;
}();

// Writes each byte of `digest` as two upper-case hexadecimal digits and a closing NUL.
inline void render_hex(const unsigned char* digest, std::size_t n, char* text_out) {
  for (std::size_t i = 0; i < n; ++i) std::memcpy(text_out + 2 * i, &kHexPairs[2 * digest[i]], 2);
  text_out[2 * n] = '\0';
}
