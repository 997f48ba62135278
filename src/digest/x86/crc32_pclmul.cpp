// CRC-32 by folding 64-byte stretches with the 128-bit carry-less multiply; the last bytes and
// the final reduction go through the byte table, which costs 16 look-ups per call.
#include <immintrin.h>

#include "digest/crc32.h"
#include "digest/kernels.h"
#include "digest/x86/crc32_fold.h"

namespace {

inline __m128i fold(__m128i x, __m128i constants) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, constants, 0x00),
                       _mm_clmulepi64_si128(x, constants, 0x11));
}

inline __m128i load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

std::uint32_t crc32_bytes_pclmul(std::uint32_t crc, const unsigned char* data, std::size_t n) {
  if (n < 64) return crc32_bytes_portable(crc, data, n);
  const __m128i by_512 = _mm_set_epi64x(kCrc32FoldHigh<512>, kCrc32FoldLow<512>);
  const __m128i by_128 = _mm_set_epi64x(kCrc32FoldHigh<128>, kCrc32FoldLow<128>);
  __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = load(data + 16);
  __m128i x2 = load(data + 32);
  __m128i x3 = load(data + 48);
  data += 64;
  n -= 64;
  for (; n >= 64; data += 64, n -= 64) {
    x0 = _mm_xor_si128(fold(x0, by_512), load(data));
    x1 = _mm_xor_si128(fold(x1, by_512), load(data + 16));
    x2 = _mm_xor_si128(fold(x2, by_512), load(data + 32));
    x3 = _mm_xor_si128(fold(x3, by_512), load(data + 48));
  }
  x0 = _mm_xor_si128(fold(x0, by_128), x1);
  x0 = _mm_xor_si128(fold(x0, by_128), x2);
  x0 = _mm_xor_si128(fold(x0, by_128), x3);
  for (; n >= 16; data += 16, n -= 16) x0 = _mm_xor_si128(fold(x0, by_128), load(data));
  // The folded register is congruent to everything so far: its CRC from a zero register is
  // the running value.
  alignas(16) unsigned char rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x0);
  crc = crc32_bytes_portable(0, rest, sizeof rest);
  return crc32_bytes_portable(crc, data, n);
}
