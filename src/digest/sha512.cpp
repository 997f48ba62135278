#include "digest/sha512.h"

#include <cstring>

#include "digest/block_buffer.h"
#include "digest/byte_order.h"
#include "digest/kernels.h"

const std::uint64_t kSha512RoundConstants[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

namespace {

void start(Sha512Context* ctx, const std::uint64_t* initial) {
  std::memcpy(ctx->state, initial, sizeof ctx->state);
  ctx->count[0] = 0;
  ctx->count[1] = 0;
  std::memset(ctx->block, 0, sizeof ctx->block);
}

// Counts `n` more bytes; returns how many were buffered before them.
std::size_t count_bytes(Sha512Context* ctx, std::size_t n) {
  std::size_t used = (ctx->count[0] >> 3) & 127;
  std::uint64_t added = static_cast<std::uint64_t>(n) << 3;
  ctx->count[0] += added;
  if (ctx->count[0] < added) ctx->count[1] += 1;
  ctx->count[1] += static_cast<std::uint64_t>(n) >> 61;
  return used;
}

void finish(Sha512Context* ctx, const void* bytes, std::size_t n, unsigned char* digest_out,
            int words) {
  std::size_t used = count_bytes(ctx, n);
  unsigned char length[16];
  store_be64(length, ctx->count[1]);
  store_be64(length + 8, ctx->count[0]);
  Sha512Blocks kernel = active_kernels().sha512;
  feed_last<128, 16>(
      ctx->block, used, static_cast<const unsigned char*>(bytes), n, length,
      [&](const unsigned char* data, std::size_t count) { kernel(ctx->state, data, count); });
  for (int i = 0; i < words; ++i) store_be64(digest_out + 8 * i, ctx->state[i]);
}

}  // namespace

void sha384_init(Sha512Context* ctx) {
  static const std::uint64_t kInitial[8] = {
      0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17, 0x152fecd8f70e5939,
      0x67332667ffc00b31, 0x8eb44a8768581511, 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
  start(ctx, kInitial);
}

void sha512_init(Sha512Context* ctx) {
  static const std::uint64_t kInitial[8] = {
      0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
      0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
  start(ctx, kInitial);
}

void sha512_update(Sha512Context* ctx, const void* bytes, std::size_t n) {
  std::size_t used = count_bytes(ctx, n);
  Sha512Blocks kernel = active_kernels().sha512;
  feed_blocks<128>(
      ctx->block, used, static_cast<const unsigned char*>(bytes), n,
      [&](const unsigned char* data, std::size_t count) { kernel(ctx->state, data, count); });
}

void sha384_final(unsigned char* digest_out, Sha512Context* ctx) {
  finish(ctx, nullptr, 0, digest_out, 6);
}

void sha512_final(unsigned char* digest_out, Sha512Context* ctx) {
  finish(ctx, nullptr, 0, digest_out, 8);
}

void sha384_finish(Sha512Context* ctx, const void* bytes, std::size_t n,
                   unsigned char* digest_out) {
  finish(ctx, bytes, n, digest_out, 6);
}

void sha512_finish(Sha512Context* ctx, const void* bytes, std::size_t n,
                   unsigned char* digest_out) {
  finish(ctx, bytes, n, digest_out, 8);
}

void sha384_end(Sha512Context* ctx, char* text_out) {
  unsigned char digest[kSha384DigestSize];
  sha384_final(digest, ctx);
  render_hex(digest, sizeof digest, text_out);
}

void sha512_end(Sha512Context* ctx, char* text_out) {
  unsigned char digest[kSha512DigestSize];
  sha512_final(digest, ctx);
  render_hex(digest, sizeof digest, text_out);
}

// The portable kernel: 80 rounds written out over a 16-word rolling schedule.
namespace {

#define SHA512_S0(x) (rotr64((x), 28) ^ rotr64((x), 34) ^ rotr64((x), 39))
#define SHA512_S1(x) (rotr64((x), 14) ^ rotr64((x), 18) ^ rotr64((x), 41))
#define SHA512_s0(x) (rotr64((x), 1) ^ rotr64((x), 8) ^ ((x) >> 7))
#define SHA512_s1(x) (rotr64((x), 19) ^ rotr64((x), 61) ^ ((x) >> 6))
#define SHA512_CH(e, f, g) ((g) ^ ((e) & ((f) ^ (g))))
#define SHA512_MAJ(a, b, c) (((a) & (b)) | ((c) & ((a) | (b))))
#define SHA512_W(t) \
  (w[(t)&15] += SHA512_s1(w[((t) + 14) & 15]) + w[((t) + 9) & 15] + SHA512_s0(w[((t) + 1) & 15]))
#define SHA512_ROUND(a, b, c, d, e, f, g, h, t, word)                           \
  do {                                                                          \
    std::uint64_t t1 = (h) + SHA512_S1(e) + SHA512_CH(e, f, g) + k[t] + (word); \
    (d) += t1;                                                                  \
    (h) = t1 + SHA512_S0(a) + SHA512_MAJ(a, b, c);                              \
  } while (0)
#define SHA512_EIGHT(t, W)                                   \
  SHA512_ROUND(a, b, c, d, e, f, g, h, (t), W((t)));         \
  SHA512_ROUND(h, a, b, c, d, e, f, g, (t) + 1, W((t) + 1)); \
  SHA512_ROUND(g, h, a, b, c, d, e, f, (t) + 2, W((t) + 2)); \
  SHA512_ROUND(f, g, h, a, b, c, d, e, (t) + 3, W((t) + 3)); \
  SHA512_ROUND(e, f, g, h, a, b, c, d, (t) + 4, W((t) + 4)); \
  SHA512_ROUND(d, e, f, g, h, a, b, c, (t) + 5, W((t) + 5)); \
  SHA512_ROUND(c, d, e, f, g, h, a, b, (t) + 6, W((t) + 6)); \
  SHA512_ROUND(b, c, d, e, f, g, h, a, (t) + 7, W((t) + 7))
#define SHA512_LOADED(t) w[(t)]

void sha512_block(std::uint64_t* state, const unsigned char* p) {
  const std::uint64_t* k = kSha512RoundConstants;
  std::uint64_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = load_be64(p + 8 * i);
  std::uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint64_t e = state[4], f = state[5], g = state[6], h = state[7];

  SHA512_EIGHT(0, SHA512_LOADED);
  SHA512_EIGHT(8, SHA512_LOADED);
  SHA512_EIGHT(16, SHA512_W);
  SHA512_EIGHT(24, SHA512_W);
  SHA512_EIGHT(32, SHA512_W);
  SHA512_EIGHT(40, SHA512_W);
  SHA512_EIGHT(48, SHA512_W);
  SHA512_EIGHT(56, SHA512_W);
  SHA512_EIGHT(64, SHA512_W);
  SHA512_EIGHT(72, SHA512_W);

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

void sha512_blocks_portable(std::uint64_t* state, const unsigned char* data, std::size_t blocks) {
  for (std::size_t i = 0; i < blocks; ++i) sha512_block(state, data + 128 * i);
}
