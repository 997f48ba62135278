// SHA-512 with the message schedule of two blocks computed together in 256-bit registers and
// the rounds in scalar code using the three-operand rotate and the and-not (BMI1, BMI2). The
// schedule of the next two blocks is computed between the rounds of the current two, so the
// rounds are the only serial work.
//
// Nothing here calls an inline function shared with code built for other processors (not even
// the standard rotate): where the compiler does not inline, the linker keeps one copy of such
// a function for the whole program, which could then hold instructions this file's flags allow
// and other processors lack.
#include <immintrin.h>

#include "digest/kernels.h"

namespace {

constexpr int kBlocksTogether = 2;
constexpr int kStride = 2 * kBlocksTogether;

inline std::uint64_t ror64(std::uint64_t x, int n) {
  return (x >> n) | (x << (64 - n));
}

inline __m256i ror64x4(__m256i x, int n) {
  return _mm256_or_si256(_mm256_srli_epi64(x, n), _mm256_slli_epi64(x, 64 - n));
}

inline __m256i small_sigma0(__m256i x) {
  return _mm256_xor_si256(_mm256_xor_si256(ror64x4(x, 1), ror64x4(x, 8)), _mm256_srli_epi64(x, 7));
}

inline __m256i small_sigma1(__m256i x) {
  return _mm256_xor_si256(_mm256_xor_si256(ror64x4(x, 19), ror64x4(x, 61)),
                          _mm256_srli_epi64(x, 6));
}

// Words 2j and 2j+1 of block `first` in the low half, of block `second` in the high half.
inline __m256i load_pair(const unsigned char* first, const unsigned char* second, int j) {
  const __m256i swap = _mm256_set_epi64x(0x08090a0b0c0d0e0fLL, 0x0001020304050607LL,
                                         0x08090a0b0c0d0e0fLL, 0x0001020304050607LL);
  __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 16 * j));
  __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + 16 * j));
  return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1), swap);
}

// The message schedule of two blocks: word plus round constant for all 80 rounds, stored in
// the layout the rounds read. The first eight steps (two words of each block per step) only
// load; each further step is computed on its own, so that the steps can run between the rounds
// of the blocks before: alone, the schedule is one long chain of dependent vector operations
// that leaves most of the processor idle.
struct PairSchedule {
  std::uint64_t* wk;
  int next_step;
  __m256i x[40];  // the words of step j in x[j]
};

inline void start_schedule(PairSchedule& s, const unsigned char* first, const unsigned char* second,
                           std::uint64_t* wk) {
  s.wk = wk;
  s.next_step = 8;
  for (int j = 0; j < 8; ++j) {
    s.x[j] = load_pair(first, second, j);
    __m256i k = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha512RoundConstants + 2 * j)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(wk + kStride * j), _mm256_add_epi64(s.x[j], k));
  }
}

// Makes the next step, if any is left.
inline void schedule_step(PairSchedule& s) {
  int j = s.next_step;
  if (j >= 40) return;
  s.next_step = j + 1;
  const __m256i* x = s.x + j;
  __m256i w15 = _mm256_alignr_epi8(x[-7], x[-8], 8);
  __m256i w7 = _mm256_alignr_epi8(x[-3], x[-4], 8);
  __m256i sum = _mm256_add_epi64(_mm256_add_epi64(x[-8], w7), small_sigma0(w15));
  // s1 needs words 2j-2 and 2j-1, which the step before made.
  __m256i words = _mm256_add_epi64(sum, small_sigma1(x[-1]));
  s.x[j] = words;
  __m256i k = _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha512RoundConstants + 2 * j)));
  _mm256_store_si256(reinterpret_cast<__m256i*>(s.wk + kStride * j), _mm256_add_epi64(words, k));
}

// The 80 rounds over word-plus-constant values of one block, whose word t sits at
// wk[(t / 2) * kStride + (t % 2)]: the schedule stores its vectors whole.
#define SHA512_S0(x) (ror64((x), 28) ^ ror64((x), 34) ^ ror64((x), 39))
#define SHA512_S1(x) (ror64((x), 14) ^ ror64((x), 18) ^ ror64((x), 41))
// The sums are grouped so that the rotations of e and a come last: everything else of a
// round is ready earlier. Ch's two terms share no bits, so adding them is their OR.
// Maj(a, b, c) = b ^ ((a ^ b) & (b ^ c)), and this round's b ^ c is the last round's a ^ b.
#define SHA512_ROUND(a, b, c, d, e, f, g, h, t)                 \
  do {                                                          \
    std::uint64_t hw = (h) + w[((t) >> 1) * kStride + ((t)&1)]; \
    std::uint64_t ch = ((e) & (f)) + (~(e) & (g));              \
    std::uint64_t s1 = SHA512_S1(e);                            \
    std::uint64_t ab = (a) ^ (b);                               \
    std::uint64_t maj = (b) ^ (ab & bc);                        \
    bc = ab;                                                    \
    (d) = (((d) + hw) + ch) + s1;                               \
    (h) = ((hw + ch) + s1) + (SHA512_S0(a) + maj);              \
  } while (0)

// When `next` is given, also makes two steps of its schedule after every eight rounds.
void scheduled_rounds(std::uint64_t* state, const std::uint64_t* wk, PairSchedule* next) {
  std::uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
  std::uint64_t bc = b ^ c;
  // Eight rounds per pass bring the roles of the variables back to where they started.
  for (const std::uint64_t* w = wk; w < wk + 40 * kStride; w += 4 * kStride) {
    if (next != nullptr) {
      schedule_step(*next);
      schedule_step(*next);
    }
    SHA512_ROUND(a, b, c, d, e, f, g, h, 0);
    SHA512_ROUND(h, a, b, c, d, e, f, g, 1);
    SHA512_ROUND(g, h, a, b, c, d, e, f, 2);
    SHA512_ROUND(f, g, h, a, b, c, d, e, 3);
    SHA512_ROUND(e, f, g, h, a, b, c, d, 4);
    SHA512_ROUND(d, e, f, g, h, a, b, c, 5);
    SHA512_ROUND(c, d, e, f, g, h, a, b, 6);
    SHA512_ROUND(b, c, d, e, f, g, h, a, 7);
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

}  // namespace

void sha512_blocks_avx2(std::uint64_t* state, const unsigned char* data, std::size_t blocks) {
  if (blocks == 0) return;
  alignas(32) std::uint64_t wk[2][40 * kStride];
  PairSchedule schedule;
  // A lone block is scheduled twice over; the second copy is simply not used.
  start_schedule(schedule, data, blocks >= 2 ? data + 128 : data, wk[0]);
  while (schedule.next_step < 40) schedule_step(schedule);
  for (int buffer = 0; blocks != 0; buffer ^= 1) {
    std::size_t now = blocks >= 2 ? 2 : 1;
    const unsigned char* later = data + 128 * now;
    std::size_t left = blocks - now;
    PairSchedule* ahead = nullptr;
    if (left != 0) {
      start_schedule(schedule, later, left >= 2 ? later + 128 : later, wk[buffer ^ 1]);
      ahead = &schedule;
    }
    scheduled_rounds(state, wk[buffer], ahead);
    if (now == 2) scheduled_rounds(state, wk[buffer] + 2, ahead);
    while (ahead != nullptr && schedule.next_step < 40) schedule_step(schedule);
    blocks = left;
    data = later;
  }
}
