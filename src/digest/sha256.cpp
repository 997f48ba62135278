#include "digest/sha256.h"

#include <cstring>

#include "digest/block_buffer.h"
#include "digest/byte_order.h"
#include "digest/kernels.h"

const std::uint32_t kSha256RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

void sha256_init(Sha256Context* ctx) {
  static const std::uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                            0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::memcpy(ctx->state, kInitial, sizeof kInitial);
  ctx->count = 0;
  std::memset(ctx->block, 0, sizeof ctx->block);
}

void sha256_update(Sha256Context* ctx, const void* bytes, std::size_t n) {
  std::size_t used = (ctx->count >> 3) & 63;
  ctx->count += static_cast<std::uint64_t>(n) << 3;
  Sha256Blocks kernel = active_kernels().sha256;
  feed_blocks<64>(
      ctx->block, used, static_cast<const unsigned char*>(bytes), n,
      [&](const unsigned char* data, std::size_t count) { kernel(ctx->state, data, count); });
}

void sha256_final(unsigned char* digest_out, Sha256Context* ctx) {
  sha256_finish(ctx, nullptr, 0, digest_out);
}

void sha256_finish(Sha256Context* ctx, const void* bytes, std::size_t n,
                   unsigned char* digest_out) {
  std::size_t used = (ctx->count >> 3) & 63;
  ctx->count += static_cast<std::uint64_t>(n) << 3;
  unsigned char length[8];
  store_be64(length, ctx->count);
  Sha256Blocks kernel = active_kernels().sha256;
  feed_last<64, 8>(
      ctx->block, used, static_cast<const unsigned char*>(bytes), n, length,
      [&](const unsigned char* data, std::size_t count) { kernel(ctx->state, data, count); });
  for (int i = 0; i < 8; ++i) store_be32(digest_out + 4 * i, ctx->state[i]);
}

void sha256_end(Sha256Context* ctx, char* text_out) {
  unsigned char digest[kSha256DigestSize];
  sha256_final(digest, ctx);
  render_hex(digest, sizeof digest, text_out);
}

// The portable kernel: 64 rounds written out over a 16-word rolling schedule.
namespace {

#define SHA256_S0(x) (rotr32((x), 2) ^ rotr32((x), 13) ^ rotr32((x), 22))
#define SHA256_S1(x) (rotr32((x), 6) ^ rotr32((x), 11) ^ rotr32((x), 25))
#define SHA256_s0(x) (rotr32((x), 7) ^ rotr32((x), 18) ^ ((x) >> 3))
#define SHA256_s1(x) (rotr32((x), 17) ^ rotr32((x), 19) ^ ((x) >> 10))
#define SHA256_CH(e, f, g) ((g) ^ ((e) & ((f) ^ (g))))
#define SHA256_MAJ(a, b, c) (((a) & (b)) | ((c) & ((a) | (b))))
#define SHA256_W(t) \
  (w[(t)&15] += SHA256_s1(w[((t) + 14) & 15]) + w[((t) + 9) & 15] + SHA256_s0(w[((t) + 1) & 15]))
// One round; the caller rotates the roles of the eight variables.
#define SHA256_ROUND(a, b, c, d, e, f, g, h, t, word)                           \
  do {                                                                          \
    std::uint32_t t1 = (h) + SHA256_S1(e) + SHA256_CH(e, f, g) + k[t] + (word); \
    (d) += t1;                                                                  \
    (h) = t1 + SHA256_S0(a) + SHA256_MAJ(a, b, c);                              \
  } while (0)
#define SHA256_EIGHT(t, W)                                   \
  SHA256_ROUND(a, b, c, d, e, f, g, h, (t), W((t)));         \
  SHA256_ROUND(h, a, b, c, d, e, f, g, (t) + 1, W((t) + 1)); \
  SHA256_ROUND(g, h, a, b, c, d, e, f, (t) + 2, W((t) + 2)); \
  SHA256_ROUND(f, g, h, a, b, c, d, e, (t) + 3, W((t) + 3)); \
  SHA256_ROUND(e, f, g, h, a, b, c, d, (t) + 4, W((t) + 4)); \
  SHA256_ROUND(d, e, f, g, h, a, b, c, (t) + 5, W((t) + 5)); \
  SHA256_ROUND(c, d, e, f, g, h, a, b, (t) + 6, W((t) + 6)); \
  SHA256_ROUND(b, c, d, e, f, g, h, a, (t) + 7, W((t) + 7))
#define SHA256_LOADED(t) w[(t)]

void sha256_block(std::uint32_t* state, const unsigned char* p) {
  const std::uint32_t* k = kSha256RoundConstants;
  std::uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = load_be32(p + 4 * i);
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];

  SHA256_EIGHT(0, SHA256_LOADED);
  SHA256_EIGHT(8, SHA256_LOADED);
  SHA256_EIGHT(16, SHA256_W);
  SHA256_EIGHT(24, SHA256_W);
  SHA256_EIGHT(32, SHA256_W);
  SHA256_EIGHT(40, SHA256_W);
  SHA256_EIGHT(48, SHA256_W);
  SHA256_EIGHT(56, SHA256_W);

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

void sha256_blocks_portable(std::uint32_t* state, const unsigned char* data, std::size_t blocks) {
  for (std::size_t i = 0; i < blocks; ++i) sha256_block(state, data + 64 * i);
}
