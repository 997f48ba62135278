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

// The schedule of a pair of blocks, by step: step j holds words 2j and 2j+1 of the first block,
// then the same words of the second. `k` holds the round constants in that layout, so that a
// step finds everything it reads at fixed distances from its own words.
struct alignas(32) PairSchedule {
  std::uint64_t words[40 * 4];
  std::uint64_t wk[40 * 4];  // word plus round constant, what the rounds read
  std::uint64_t k[40 * 4];
};
constexpr int kWk = 40 * 4;
constexpr int kK = 2 * 40 * 4;

inline std::uint64_t ror64(std::uint64_t x, int n) {
  return (x >> n) | (x << (64 - n));
}

inline __m256i ror64x4(__m256i x, int n) {
  return _mm256_or_si256(_mm256_srli_epi64(x, n), _mm256_slli_epi64(x, 64 - n));
}

inline __m128i ror64x2(__m128i x, int n) {
  return _mm_or_si128(_mm_srli_epi64(x, n), _mm_slli_epi64(x, 64 - n));
}

inline __m256i small_sigma0(__m256i x) {
  return _mm256_xor_si256(_mm256_xor_si256(ror64x4(x, 1), ror64x4(x, 8)), _mm256_srli_epi64(x, 7));
}

inline __m256i small_sigma1(__m256i x) {
  return _mm256_xor_si256(_mm256_xor_si256(ror64x4(x, 19), ror64x4(x, 61)),
                          _mm256_srli_epi64(x, 6));
}

inline __m256i load4(const std::uint64_t* p) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

inline void store4(std::uint64_t* p, __m256i v) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(p), v);
}

// Words 2j and 2j+1 of block `first` in the low half, of block `second` in the high half.
inline __m256i load_pair(const unsigned char* first, const unsigned char* second, int j) {
  const __m256i swap = _mm256_set_epi64x(0x08090a0b0c0d0e0fLL, 0x0001020304050607LL,
                                         0x08090a0b0c0d0e0fLL, 0x0001020304050607LL);
  __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 16 * j));
  __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + 16 * j));
  return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1), swap);
}

void fill_constants(PairSchedule& s) {
  for (int j = 0; j < 40; ++j) {
    store4(s.k + 4 * j, _mm256_broadcastsi128_si256(_mm_loadu_si128(
                            reinterpret_cast<const __m128i*>(kSha512RoundConstants + 2 * j))));
  }
}

// The first eight steps only load.
void load_steps(PairSchedule& s, const unsigned char* first, const unsigned char* second) {
  for (int j = 0; j < 8; ++j) {
    __m256i x = load_pair(first, second, j);
    store4(s.words + 4 * j, x);
    store4(s.wk + 4 * j, _mm256_add_epi64(x, load4(s.k + 4 * j)));
  }
}

// One further step; `x` points at its words, everything else is at fixed distances from them,
// so that one register addresses all the steps a pass of rounds makes.
inline void schedule_step(std::uint64_t* x) {
  __m256i w15 = _mm256_alignr_epi8(load4(x - 7 * 4), load4(x - 8 * 4), 8);
  __m256i w7 = _mm256_alignr_epi8(load4(x - 3 * 4), load4(x - 4 * 4), 8);
  __m256i sum = _mm256_add_epi64(_mm256_add_epi64(load4(x - 8 * 4), w7), small_sigma0(w15));
  // s1 needs words 2j-2 and 2j-1, which the step before made.
  __m256i words = _mm256_add_epi64(sum, small_sigma1(load4(x - 4)));
  store4(x, words);
  store4(x + kWk, _mm256_add_epi64(words, load4(x + kK)));
}

void remaining_steps(PairSchedule& s, int from) {
  for (int j = from; j < 40; ++j) schedule_step(s.words + 4 * j);
}

// Keeps the compiler from regrouping a sum through `x`: the rounds below order their additions
// so that the parts that depend on the newest values come last, and regrouping undoes that.
#define SHA512_KEEP(x) __asm__("" : "+r"(x))

#define SHA512_S0(x) (ror64((x), 28) ^ ror64((x), 34) ^ ror64((x), 39))
#define SHA512_S1(x) (ror64((x), 14) ^ ror64((x), 18) ^ ror64((x), 41))
// New e is (d + h + wk + Ch) + S1(e): all but S1 is ready while S1 is still being computed.
// New a is new e - d + Maj + S0(a), and Maj(a, b, c) = (a & (b ^ c)) + (b & c), the two terms
// sharing no bits; b ^ c and b & c are the last round's a ^ b and a & b. So new e waits on e
// only for S1 and one sum, new a on a only for S0 and one sum. This Maj costs one operation
// more than b ^ ((a ^ b) & (b ^ c)), which puts two more steps between a and new a; the
// shorter chain is the faster round.
#define SHA512_ROUND(a, b, c, d, e, f, g, h, t)             \
  do {                                                      \
    std::uint64_t sum = (h) + wk[((t) >> 1) * 4 + ((t)&1)]; \
    sum += (d);                                             \
    SHA512_KEEP(sum);                                       \
    std::uint64_t next_a = b_and_c - (d);                   \
    sum += ((e) & (f)) + (~(e) & (g));                      \
    SHA512_KEEP(sum);                                       \
    (d) = sum + SHA512_S1(e);                               \
    next_a += (d);                                          \
    SHA512_KEEP(next_a);                                    \
    next_a += (a)&b_xor_c;                                  \
    SHA512_KEEP(next_a);                                    \
    b_xor_c = (a) ^ (b);                                    \
    b_and_c = (a) & (b);                                    \
    (h) = next_a + SHA512_S0(a);                            \
  } while (0)

// After round t, steps one by one, spread evenly over the 80 rounds.
#define SHA512_STEP_AFTER(t) \
  if constexpr (kSchedule && (t) % 5 == 0) schedule_step(next + ((t) / 5) * 4)

#define SHA512_EIGHT(t)                        \
  SHA512_ROUND(a, b, c, d, e, f, g, h, t);     \
  SHA512_STEP_AFTER(t);                        \
  SHA512_ROUND(h, a, b, c, d, e, f, g, t + 1); \
  SHA512_STEP_AFTER(t + 1);                    \
  SHA512_ROUND(g, h, a, b, c, d, e, f, t + 2); \
  SHA512_STEP_AFTER(t + 2);                    \
  SHA512_ROUND(f, g, h, a, b, c, d, e, t + 3); \
  SHA512_STEP_AFTER(t + 3);                    \
  SHA512_ROUND(e, f, g, h, a, b, c, d, t + 4); \
  SHA512_STEP_AFTER(t + 4);                    \
  SHA512_ROUND(d, e, f, g, h, a, b, c, t + 5); \
  SHA512_STEP_AFTER(t + 5);                    \
  SHA512_ROUND(c, d, e, f, g, h, a, b, t + 6); \
  SHA512_STEP_AFTER(t + 6);                    \
  SHA512_ROUND(b, c, d, e, f, g, h, a, t + 7); \
  SHA512_STEP_AFTER(t + 7)

// The 80 rounds of one block, whose word t plus constant sits at wk[(t / 2) * 4 + (t % 2)].
// With kSchedule, also makes the sixteen steps of another pair's schedule from `next` on.
template <bool kSchedule>
__attribute__((noinline)) void block_rounds(std::uint64_t* state, const std::uint64_t* wk,
                                            std::uint64_t* next) {
  std::uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
  std::uint64_t b_xor_c = b ^ c, b_and_c = b & c;
  SHA512_EIGHT(0);
  SHA512_EIGHT(8);
  SHA512_EIGHT(16);
  SHA512_EIGHT(24);
  SHA512_EIGHT(32);
  SHA512_EIGHT(40);
  SHA512_EIGHT(48);
  SHA512_EIGHT(56);
  SHA512_EIGHT(64);
  SHA512_EIGHT(72);
  (void)next;
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

// A block on its own, as the last of a short message mostly is. Scheduled as half of a pair it
// would cost a whole pair's schedule and the pair's table of constants; here its schedule is
// made two words at a time in 128-bit registers, in the low half of the pair layout, so that
// the same rounds read it.
__attribute__((noinline)) void lone_block(std::uint64_t* state, const unsigned char* data) {
  const __m128i swap = _mm_set_epi64x(0x08090a0b0c0d0e0fLL, 0x0001020304050607LL);
  alignas(16) std::uint64_t words[40 * 4];
  alignas(16) std::uint64_t wk[40 * 4];
  auto load2 = [&](int at) { return _mm_load_si128(reinterpret_cast<const __m128i*>(words + at)); };
  auto store_step = [&](int j, __m128i x) {
    _mm_store_si128(reinterpret_cast<__m128i*>(words + 4 * j), x);
    __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha512RoundConstants + 2 * j));
    _mm_store_si128(reinterpret_cast<__m128i*>(wk + 4 * j), _mm_add_epi64(x, k));
  };
  for (int j = 0; j < 8; ++j) {
    store_step(j, _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * j)),
                                   swap));
  }
  for (int j = 8; j < 40; ++j) {
    const int x = 4 * j;
    __m128i w15 = _mm_alignr_epi8(load2(x - 7 * 4), load2(x - 8 * 4), 8);
    __m128i w7 = _mm_alignr_epi8(load2(x - 3 * 4), load2(x - 4 * 4), 8);
    __m128i w2 = load2(x - 4);
    __m128i s0 =
        _mm_xor_si128(_mm_xor_si128(ror64x2(w15, 1), ror64x2(w15, 8)), _mm_srli_epi64(w15, 7));
    __m128i s1 =
        _mm_xor_si128(_mm_xor_si128(ror64x2(w2, 19), ror64x2(w2, 61)), _mm_srli_epi64(w2, 6));
    store_step(j, _mm_add_epi64(_mm_add_epi64(load2(x - 8 * 4), w7), _mm_add_epi64(s0, s1)));
  }
  block_rounds<false>(state, wk, nullptr);
}

}  // namespace

void sha512_blocks_avx2(std::uint64_t* state, const unsigned char* data, std::size_t blocks) {
  if (blocks == 0) return;
  if (blocks == 1) {
    lone_block(state, data);
    return;
  }
  PairSchedule schedules[2];
  fill_constants(schedules[0]);
  load_steps(schedules[0], data, data + 128);
  remaining_steps(schedules[0], 8);
  if (blocks > 2) fill_constants(schedules[1]);
  for (int now = 0; blocks != 0; now ^= 1) {
    PairSchedule& current = schedules[now];
    PairSchedule& ahead = schedules[now ^ 1];
    std::size_t count = blocks >= 2 ? 2 : 1;
    const unsigned char* later = data + 128 * count;
    std::size_t left = blocks - count;
    if (left == 0) {
      block_rounds<false>(state, current.wk, nullptr);
      if (count == 2) block_rounds<false>(state, current.wk + 2, nullptr);
    } else {
      // More blocks follow, so this pair is whole: each of its blocks makes half of the next
      // pair's schedule.
      load_steps(ahead, later, left >= 2 ? later + 128 : later);
      block_rounds<true>(state, current.wk, ahead.words + 8 * 4);
      block_rounds<true>(state, current.wk + 2, ahead.words + 24 * 4);
    }
    blocks = left;
    data = later;
  }
}
