// MD5 as RFC 1321 defines it.
#pragma once

#include <cstddef>
#include <cstdint>

struct Md5Context {
  std::uint32_t count[2];    // message bits modulo 2^64, low word first
  std::uint32_t state[4];    // A, B, C, D
  unsigned char block[64];   // bytes not yet transformed
  unsigned char digest[16];  // written by md5_final
};

constexpr std::size_t kMd5DigestSize = 16;

void md5_init(Md5Context* ctx);
// Adds `n` bytes (n may be 0).
void md5_update(Md5Context* ctx, const void* bytes, std::size_t n);
// Pads, finishes and stores the digest in ctx->digest. The context needs md5_init before reuse.
void md5_final(Md5Context* ctx);
// md5_update with the last `n` bytes, then md5_final, with the bytes and the padding reaching the
// kernel in one call.
void md5_finish(Md5Context* ctx, const void* bytes, std::size_t n);
