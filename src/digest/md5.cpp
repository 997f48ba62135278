#include "digest/md5.h"

#include "digest/block_buffer.h"
#include "digest/byte_order.h"
#include "digest/kernels.h"

void md5_init(Md5Context* ctx) {
  ctx->count[0] = 0;
  ctx->count[1] = 0;
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xEFCDAB89;
  ctx->state[2] = 0x98BADCFE;
  ctx->state[3] = 0x10325476;
}

namespace {

// Counts `n` more bytes; returns how many were buffered before them.
std::size_t count_bytes(Md5Context* ctx, std::size_t n) {
  std::size_t used = (ctx->count[0] >> 3) & 63;
  std::uint64_t bits = (static_cast<std::uint64_t>(ctx->count[1]) << 32) | ctx->count[0];
  bits += static_cast<std::uint64_t>(n) << 3;
  ctx->count[0] = static_cast<std::uint32_t>(bits);
  ctx->count[1] = static_cast<std::uint32_t>(bits >> 32);
  return used;
}

}  // namespace

void md5_update(Md5Context* ctx, const void* bytes, std::size_t n) {
  std::size_t used = count_bytes(ctx, n);
  Md5Blocks kernel = active_kernels().md5;
  feed_blocks<64>(
      ctx->block, used, static_cast<const unsigned char*>(bytes), n,
      [&](const unsigned char* data, std::size_t count) { kernel(ctx->state, data, count); });
}

void md5_final(Md5Context* ctx) {
  md5_finish(ctx, nullptr, 0);
}

void md5_finish(Md5Context* ctx, const void* bytes, std::size_t n) {
  std::size_t used = count_bytes(ctx, n);
  unsigned char length[8];
  store_le32(length, ctx->count[0]);
  store_le32(length + 4, ctx->count[1]);
  Md5Blocks kernel = active_kernels().md5;
  feed_last<64, 8>(
      ctx->block, used, static_cast<const unsigned char*>(bytes), n, length,
      [&](const unsigned char* data, std::size_t count) { kernel(ctx->state, data, count); });
  for (int i = 0; i < 4; ++i) store_le32(ctx->digest + 4 * i, ctx->state[i]);
}

// The portable kernel: all 64 steps written out, constants as immediates.
namespace {

// Round functions in forms that need fewer instructions than the textbook ones; F selects
// bits, so its XOR/AND form equals the AND/OR form.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, word, constant, shift)                     \
  (a) += f((b), (c), (d)) + (word) + static_cast<std::uint32_t>(constant); \
  (a) = rotl32((a), (shift)) + (b)
// G's two terms share no bits: adding them lets the term without b join the sum early.
#define MD5_STEP_G(a, b, c, d, word, constant, shift)                                \
  (a) += ((c) & ~(d)) + (word) + static_cast<std::uint32_t>(constant) + ((b) & (d)); \
  (a) = rotl32((a), (shift)) + (b)

void md5_block(std::uint32_t* state, const unsigned char* p) {
  std::uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = load_le32(p + 4 * i);
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

  MD5_STEP(MD5_F, a, b, c, d, w[0], 0xd76aa478, 7);
  MD5_STEP(MD5_F, d, a, b, c, w[1], 0xe8c7b756, 12);
  MD5_STEP(MD5_F, c, d, a, b, w[2], 0x242070db, 17);
  MD5_STEP(MD5_F, b, c, d, a, w[3], 0xc1bdceee, 22);
  MD5_STEP(MD5_F, a, b, c, d, w[4], 0xf57c0faf, 7);
  MD5_STEP(MD5_F, d, a, b, c, w[5], 0x4787c62a, 12);
  MD5_STEP(MD5_F, c, d, a, b, w[6], 0xa8304613, 17);
  MD5_STEP(MD5_F, b, c, d, a, w[7], 0xfd469501, 22);
  MD5_STEP(MD5_F, a, b, c, d, w[8], 0x698098d8, 7);
  MD5_STEP(MD5_F, d, a, b, c, w[9], 0x8b44f7af, 12);
  MD5_STEP(MD5_F, c, d, a, b, w[10], 0xffff5bb1, 17);
  MD5_STEP(MD5_F, b, c, d, a, w[11], 0x895cd7be, 22);
  MD5_STEP(MD5_F, a, b, c, d, w[12], 0x6b901122, 7);
  MD5_STEP(MD5_F, d, a, b, c, w[13], 0xfd987193, 12);
  MD5_STEP(MD5_F, c, d, a, b, w[14], 0xa679438e, 17);
  MD5_STEP(MD5_F, b, c, d, a, w[15], 0x49b40821, 22);

  MD5_STEP_G(a, b, c, d, w[1], 0xf61e2562, 5);
  MD5_STEP_G(d, a, b, c, w[6], 0xc040b340, 9);
  MD5_STEP_G(c, d, a, b, w[11], 0x265e5a51, 14);
  MD5_STEP_G(b, c, d, a, w[0], 0xe9b6c7aa, 20);
  MD5_STEP_G(a, b, c, d, w[5], 0xd62f105d, 5);
  MD5_STEP_G(d, a, b, c, w[10], 0x02441453, 9);
  MD5_STEP_G(c, d, a, b, w[15], 0xd8a1e681, 14);
  MD5_STEP_G(b, c, d, a, w[4], 0xe7d3fbc8, 20);
  MD5_STEP_G(a, b, c, d, w[9], 0x21e1cde6, 5);
  MD5_STEP_G(d, a, b, c, w[14], 0xc33707d6, 9);
  MD5_STEP_G(c, d, a, b, w[3], 0xf4d50d87, 14);
  MD5_STEP_G(b, c, d, a, w[8], 0x455a14ed, 20);
  MD5_STEP_G(a, b, c, d, w[13], 0xa9e3e905, 5);
  MD5_STEP_G(d, a, b, c, w[2], 0xfcefa3f8, 9);
  MD5_STEP_G(c, d, a, b, w[7], 0x676f02d9, 14);
  MD5_STEP_G(b, c, d, a, w[12], 0x8d2a4c8a, 20);

  MD5_STEP(MD5_H, a, b, c, d, w[5], 0xfffa3942, 4);
  MD5_STEP(MD5_H, d, a, b, c, w[8], 0x8771f681, 11);
  MD5_STEP(MD5_H, c, d, a, b, w[11], 0x6d9d6122, 16);
  MD5_STEP(MD5_H, b, c, d, a, w[14], 0xfde5380c, 23);
  MD5_STEP(MD5_H, a, b, c, d, w[1], 0xa4beea44, 4);
  MD5_STEP(MD5_H, d, a, b, c, w[4], 0x4bdecfa9, 11);
  MD5_STEP(MD5_H, c, d, a, b, w[7], 0xf6bb4b60, 16);
  MD5_STEP(MD5_H, b, c, d, a, w[10], 0xbebfbc70, 23);
  MD5_STEP(MD5_H, a, b, c, d, w[13], 0x289b7ec6, 4);
  MD5_STEP(MD5_H, d, a, b, c, w[0], 0xeaa127fa, 11);
  MD5_STEP(MD5_H, c, d, a, b, w[3], 0xd4ef3085, 16);
  MD5_STEP(MD5_H, b, c, d, a, w[6], 0x04881d05, 23);
  MD5_STEP(MD5_H, a, b, c, d, w[9], 0xd9d4d039, 4);
  MD5_STEP(MD5_H, d, a, b, c, w[12], 0xe6db99e5, 11);
  MD5_STEP(MD5_H, c, d, a, b, w[15], 0x1fa27cf8, 16);
  MD5_STEP(MD5_H, b, c, d, a, w[2], 0xc4ac5665, 23);

  MD5_STEP(MD5_I, a, b, c, d, w[0], 0xf4292244, 6);
  MD5_STEP(MD5_I, d, a, b, c, w[7], 0x432aff97, 10);
  MD5_STEP(MD5_I, c, d, a, b, w[14], 0xab9423a7, 15);
  MD5_STEP(MD5_I, b, c, d, a, w[5], 0xfc93a039, 21);
  MD5_STEP(MD5_I, a, b, c, d, w[12], 0x655b59c3, 6);
  MD5_STEP(MD5_I, d, a, b, c, w[3], 0x8f0ccc92, 10);
  MD5_STEP(MD5_I, c, d, a, b, w[10], 0xffeff47d, 15);
  MD5_STEP(MD5_I, b, c, d, a, w[1], 0x85845dd1, 21);
  MD5_STEP(MD5_I, a, b, c, d, w[8], 0x6fa87e4f, 6);
  MD5_STEP(MD5_I, d, a, b, c, w[15], 0xfe2ce6e0, 10);
  MD5_STEP(MD5_I, c, d, a, b, w[6], 0xa3014314, 15);
  MD5_STEP(MD5_I, b, c, d, a, w[13], 0x4e0811a1, 21);
  MD5_STEP(MD5_I, a, b, c, d, w[4], 0xf7537e82, 6);
  MD5_STEP(MD5_I, d, a, b, c, w[11], 0xbd3af235, 10);
  MD5_STEP(MD5_I, c, d, a, b, w[2], 0x2ad7d2bb, 15);
  MD5_STEP(MD5_I, b, c, d, a, w[9], 0xeb86d391, 21);

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

}  // namespace

void md5_blocks_portable(std::uint32_t* state, const unsigned char* data, std::size_t blocks) {
  for (std::size_t i = 0; i < blocks; ++i) md5_block(state, data + 64 * i);
}
