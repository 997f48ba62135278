// SHA-512 on AVX2: the schedule's rotations as two shifts and an OR.
#include "digest/x86/sha512_vector.h"

namespace {

struct ShiftSigma {
  static __m256i rotr(__m256i x, int n) {
    return _mm256_or_si256(_mm256_srli_epi64(x, n), _mm256_slli_epi64(x, 64 - n));
  }
  static __m256i small_sigma0(__m256i x) {
    return _mm256_xor_si256(_mm256_xor_si256(rotr(x, 1), rotr(x, 8)), _mm256_srli_epi64(x, 7));
  }
  static __m256i small_sigma1(__m256i x) {
    return _mm256_xor_si256(_mm256_xor_si256(rotr(x, 19), rotr(x, 61)), _mm256_srli_epi64(x, 6));
  }
};

}  // namespace

void sha512_blocks_avx2(std::uint64_t* state, const unsigned char* data, std::size_t blocks) {
  sha512_vector_blocks<ShiftSigma>(state, data, blocks);
}
