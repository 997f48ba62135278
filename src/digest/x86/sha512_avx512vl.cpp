// SHA-512 with the AVX-512 rotate and three-way logic instructions on 256-bit registers: fewer
// instructions for the schedule, and no 512-bit registers, whose use would lower the clock
// for the scalar rounds as well.
#include "digest/x86/sha512_vector.h"

namespace {

constexpr int kXor3 = 0x96;  // truth table of a ^ b ^ c

struct RotateSigma {
  static __m256i small_sigma0(__m256i x) {
    return _mm256_ternarylogic_epi64(_mm256_ror_epi64(x, 1), _mm256_ror_epi64(x, 8),
                                     _mm256_srli_epi64(x, 7), kXor3);
  }
  static __m256i small_sigma1(__m256i x) {
    return _mm256_ternarylogic_epi64(_mm256_ror_epi64(x, 19), _mm256_ror_epi64(x, 61),
                                     _mm256_srli_epi64(x, 6), kXor3);
  }
};

}  // namespace

void sha512_blocks_avx512vl(std::uint64_t* state, const unsigned char* data, std::size_t blocks) {
  sha512_vector_blocks<RotateSigma>(state, data, blocks);
}
