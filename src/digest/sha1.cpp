#include "digest/sha1.h"

#include <cstring>

#include "digest/block_buffer.h"
#include "digest/byte_order.h"
#include "digest/kernels.h"

void sha1_init(Sha1Context* ctx) {
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xEFCDAB89;
  ctx->state[2] = 0x98BADCFE;
  ctx->state[3] = 0x10325476;
  ctx->state[4] = 0xC3D2E1F0;
  ctx->count[0] = 0;
  ctx->count[1] = 0;
}

namespace {

// Counts `n` more bytes; returns how many were buffered before them.
std::size_t count_bytes(Sha1Context* ctx, std::size_t n) {
  std::size_t used = (ctx->count[0] >> 3) & 63;
  std::uint64_t bits = (static_cast<std::uint64_t>(ctx->count[1]) << 32) | ctx->count[0];
  bits += static_cast<std::uint64_t>(n) << 3;
  ctx->count[0] = static_cast<std::uint32_t>(bits);
  ctx->count[1] = static_cast<std::uint32_t>(bits >> 32);
  return used;
}

}  // namespace

void sha1_update(Sha1Context* ctx, const void* bytes, std::size_t n) {
  std::size_t used = count_bytes(ctx, n);
  Sha1Blocks kernel = active_kernels().sha1;
  feed_blocks<64>(
      ctx->block, used, static_cast<const unsigned char*>(bytes), n,
      [&](const unsigned char* data, std::size_t count) { kernel(ctx->state, data, count); });
}

void sha1_final(unsigned char* digest_out, Sha1Context* ctx) {
  sha1_finish(ctx, nullptr, 0, digest_out);
}

void sha1_finish(Sha1Context* ctx, const void* bytes, std::size_t n, unsigned char* digest_out) {
  std::size_t used = count_bytes(ctx, n);
  unsigned char length[8];
  store_be32(length, ctx->count[1]);
  store_be32(length + 4, ctx->count[0]);
  Sha1Blocks kernel = active_kernels().sha1;
  feed_last<64, 8>(
      ctx->block, used, static_cast<const unsigned char*>(bytes), n, length,
      [&](const unsigned char* data, std::size_t count) { kernel(ctx->state, data, count); });
  for (int i = 0; i < 5; ++i) store_be32(digest_out + 4 * i, ctx->state[i]);
  // The context held the last message bytes; leave nothing of them behind.
  std::memset(static_cast<void*>(ctx), 0, sizeof *ctx);
}

// The portable kernel: 80 steps written out over a 16-word rolling schedule.
namespace {

#define SHA1_W(t) \
  (w[(t)&15] = rotl32(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1))
#define SHA1_F1(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define SHA1_F2(b, c, d) ((b) ^ (c) ^ (d))
#define SHA1_F3(b, c, d) (((b) & (c)) | ((d) & ((b) | (c))))
#define SHA1_ROUND(f, k, a, b, c, d, e, word)              \
  (e) += rotl32((a), 5) + f((b), (c), (d)) + (k) + (word); \
  (b) = rotl32((b), 30)

#define SHA1_FIRST(a, b, c, d, e, t) SHA1_ROUND(SHA1_F1, 0x5A827999u, a, b, c, d, e, w[t])
#define SHA1_R1(a, b, c, d, e, t) SHA1_ROUND(SHA1_F1, 0x5A827999u, a, b, c, d, e, SHA1_W(t))
#define SHA1_R2(a, b, c, d, e, t) SHA1_ROUND(SHA1_F2, 0x6ED9EBA1u, a, b, c, d, e, SHA1_W(t))
#define SHA1_R3(a, b, c, d, e, t) SHA1_ROUND(SHA1_F3, 0x8F1BBCDCu, a, b, c, d, e, SHA1_W(t))
#define SHA1_R4(a, b, c, d, e, t) SHA1_ROUND(SHA1_F2, 0xCA62C1D6u, a, b, c, d, e, SHA1_W(t))

// Five steps rotate the roles of the five working variables back to where they started.
#define SHA1_FIVE(R, t)      \
  R(a, b, c, d, e, (t));     \
  R(e, a, b, c, d, (t) + 1); \
  R(d, e, a, b, c, (t) + 2); \
  R(c, d, e, a, b, (t) + 3); \
  R(b, c, d, e, a, (t) + 4)

void sha1_block(std::uint32_t* state, const unsigned char* p) {
  std::uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = load_be32(p + 4 * i);
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];

  SHA1_FIVE(SHA1_FIRST, 0);
  SHA1_FIVE(SHA1_FIRST, 5);
  SHA1_FIVE(SHA1_FIRST, 10);
  SHA1_ROUND(SHA1_F1, 0x5A827999u, a, b, c, d, e, w[15]);
  SHA1_R1(e, a, b, c, d, 16);
  SHA1_R1(d, e, a, b, c, 17);
  SHA1_R1(c, d, e, a, b, 18);
  SHA1_R1(b, c, d, e, a, 19);

  SHA1_FIVE(SHA1_R2, 20);
  SHA1_FIVE(SHA1_R2, 25);
  SHA1_FIVE(SHA1_R2, 30);
  SHA1_FIVE(SHA1_R2, 35);

  SHA1_FIVE(SHA1_R3, 40);
  SHA1_FIVE(SHA1_R3, 45);
  SHA1_FIVE(SHA1_R3, 50);
  SHA1_FIVE(SHA1_R3, 55);

  SHA1_FIVE(SHA1_R4, 60);
  SHA1_FIVE(SHA1_R4, 65);
  SHA1_FIVE(SHA1_R4, 70);
  SHA1_FIVE(SHA1_R4, 75);

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

}  // namespace

void sha1_blocks_portable(std::uint32_t* state, const unsigned char* data, std::size_t blocks) {
  for (std::size_t i = 0; i < blocks; ++i) sha1_block(state, data + 64 * i);
}
