// SHA-1 with the processor's SHA instructions: four rounds per instruction, the message
// schedule four words at a time.
#include <immintrin.h>

#include <utility>

#include "digest/kernels.h"

namespace {

struct Sha1Lanes {
  __m128i abcd;        // A in the top lane
  __m128i e;           // E (plus schedule words) in the top lane
  __m128i abcd_prior;  // abcd before the last four rounds: it yields the next E
  __m128i m[4];        // the last sixteen schedule words, four per register
};

// Rounds 4*I to 4*I+3 with the round function of rounds 20*(I/5) onwards.
template <int I>
__attribute__((always_inline)) inline void four_rounds(Sha1Lanes& s) {
  if constexpr (I >= 4) {
    __m128i older = _mm_sha1msg1_epu32(s.m[I & 3], s.m[(I + 1) & 3]);
    older = _mm_xor_si128(older, s.m[(I + 2) & 3]);
    s.m[I & 3] = _mm_sha1msg2_epu32(older, s.m[(I + 3) & 3]);
  }
  if constexpr (I == 0) {
    s.e = _mm_add_epi32(s.e, s.m[0]);
  } else {
    s.e = _mm_sha1nexte_epu32(s.abcd_prior, s.m[I & 3]);
  }
  s.abcd_prior = s.abcd;
  s.abcd = _mm_sha1rnds4_epu32(s.abcd, s.e, I / 5);
}

template <int... I>
__attribute__((always_inline)) inline void all_rounds(Sha1Lanes& s,
                                                      std::integer_sequence<int, I...>) {
  (four_rounds<I>(s), ...);
}

}  // namespace

void sha1_blocks_shani(std::uint32_t* state, const unsigned char* data, std::size_t blocks) {
  const __m128i reverse = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  Sha1Lanes s;
  s.abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<__m128i*>(state)), 0x1B);
  __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (std::size_t b = 0; b < blocks; ++b, data += 64) {
    __m128i abcd_before = s.abcd;
    s.e = e;
    for (int i = 0; i < 4; ++i) {
      __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
      s.m[i] = _mm_shuffle_epi8(words, reverse);
    }
    all_rounds(s, std::make_integer_sequence<int, 20>{});
    e = _mm_sha1nexte_epu32(s.abcd_prior, e);
    s.abcd = _mm_add_epi32(s.abcd, abcd_before);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(s.abcd, 0x1B));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e, 3));
}
