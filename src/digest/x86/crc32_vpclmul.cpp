// CRC-32 by folding 256-byte stretches with the 512-bit carry-less multiply; shorter input and
// the tail go to the 128-bit kernel.
#include <immintrin.h>

#include "digest/kernels.h"
#include "digest/x86/crc32_fold.h"

namespace {

inline __m512i fold(__m512i x, __m512i constants) {
  return _mm512_xor_si512(_mm512_clmulepi64_epi128(x, constants, 0x00),
                          _mm512_clmulepi64_epi128(x, constants, 0x11));
}

inline __m512i load(const unsigned char* p) {
  return _mm512_loadu_si512(p);
}

template <unsigned Bits>
inline __m512i lane_constants() {
  constexpr long long low = kCrc32FoldLow<Bits>;
  constexpr long long high = kCrc32FoldHigh<Bits>;
  return _mm512_set_epi64(high, low, high, low, high, low, high, low);
}

inline __m128i lane(const unsigned char* lanes, int i) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes + 16 * i));
}

}  // namespace

std::uint32_t crc32_bytes_vpclmul(std::uint32_t crc, const unsigned char* data, std::size_t n) {
  if (n < 512) return crc32_bytes_pclmul(crc, data, n);
  const __m512i by_2048 = lane_constants<2048>();
  const __m512i by_512 = lane_constants<512>();
  __m512i x0 = _mm512_xor_si512(load(data), _mm512_set_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                             0, 0, static_cast<int>(crc)));
  __m512i x1 = load(data + 64);
  __m512i x2 = load(data + 128);
  __m512i x3 = load(data + 192);
  data += 256;
  n -= 256;
  for (; n >= 256; data += 256, n -= 256) {
    x0 = _mm512_xor_si512(fold(x0, by_2048), load(data));
    x1 = _mm512_xor_si512(fold(x1, by_2048), load(data + 64));
    x2 = _mm512_xor_si512(fold(x2, by_2048), load(data + 128));
    x3 = _mm512_xor_si512(fold(x3, by_2048), load(data + 192));
  }
  x0 = _mm512_xor_si512(fold(x0, by_512), x1);
  x0 = _mm512_xor_si512(fold(x0, by_512), x2);
  x0 = _mm512_xor_si512(fold(x0, by_512), x3);
  for (; n >= 64; data += 64, n -= 64) x0 = _mm512_xor_si512(fold(x0, by_512), load(data));
  // Move the first three lanes forward onto the last one (by 384, 256 and 128 bits); the last
  // lane's constants are zero so only its own bits remain from it.
  const __m512i to_last =
      _mm512_set_epi64(0, 0, kCrc32FoldHigh<128>, kCrc32FoldLow<128>, kCrc32FoldHigh<256>,
                       kCrc32FoldLow<256>, kCrc32FoldHigh<384>, kCrc32FoldLow<384>);
  alignas(64) unsigned char moved[64];
  _mm512_store_si512(moved, _mm512_xor_si512(fold(x0, to_last), _mm512_maskz_mov_epi64(0xC0, x0)));
  __m128i sum = _mm_xor_si128(_mm_xor_si128(lane(moved, 0), lane(moved, 1)),
                              _mm_xor_si128(lane(moved, 2), lane(moved, 3)));
  // Hand the folded 16 bytes and the tail to the 128-bit kernel's table finish.
  alignas(16) unsigned char rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), sum);
  crc = crc32_bytes_portable(0, rest, sizeof rest);
  return crc32_bytes_pclmul(crc, data, n);
}
