// SHA-256 with the processor's SHA instructions: two rounds per instruction, the message
// schedule four words at a time.
#include <immintrin.h>

#include <utility>

#include "digest/kernels.h"

namespace {

struct Sha256Lanes {
  __m128i abef;
  __m128i cdgh;
  __m128i m[4];  // the last sixteen schedule words, four per register
};

// Rounds 4*I to 4*I+3, computing their schedule words first when I >= 4.
template <int I>
__attribute__((always_inline)) inline void four_rounds(Sha256Lanes& s) {
  if constexpr (I >= 4) {
    __m128i older = _mm_sha256msg1_epu32(s.m[I & 3], s.m[(I + 1) & 3]);
    older = _mm_add_epi32(older, _mm_alignr_epi8(s.m[(I + 3) & 3], s.m[(I + 2) & 3], 4));
    s.m[I & 3] = _mm_sha256msg2_epu32(older, s.m[(I + 3) & 3]);
  }
  __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256RoundConstants + 4 * I));
  __m128i wk = _mm_add_epi32(s.m[I & 3], k);
  s.cdgh = _mm_sha256rnds2_epu32(s.cdgh, s.abef, wk);
  s.abef = _mm_sha256rnds2_epu32(s.abef, s.cdgh, _mm_shuffle_epi32(wk, 0x0E));
}

template <int... I>
__attribute__((always_inline)) inline void all_rounds(Sha256Lanes& s,
                                                      std::integer_sequence<int, I...>) {
  (four_rounds<I>(s), ...);
}

}  // namespace

void sha256_blocks_shani(std::uint32_t* state, const unsigned char* data, std::size_t blocks) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<__m128i*>(state)), 0xB1);
  __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<__m128i*>(state + 4)), 0x1B);
  Sha256Lanes s;
  s.abef = _mm_alignr_epi8(abcd, efgh, 8);
  s.cdgh = _mm_blend_epi16(efgh, abcd, 0xF0);
  for (std::size_t b = 0; b < blocks; ++b, data += 64) {
    __m128i abef_before = s.abef;
    __m128i cdgh_before = s.cdgh;
    for (int i = 0; i < 4; ++i) {
      __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
      s.m[i] = _mm_shuffle_epi8(words, byte_swap);
    }
    all_rounds(s, std::make_integer_sequence<int, 16>{});
    s.abef = _mm_add_epi32(s.abef, abef_before);
    s.cdgh = _mm_add_epi32(s.cdgh, cdgh_before);
  }
  __m128i feba = _mm_shuffle_epi32(s.abef, 0x1B);
  __m128i dchg = _mm_shuffle_epi32(s.cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
