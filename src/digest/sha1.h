// SHA-1 as FIPS 180-1 defines it (with the one-bit rotation in the message schedule).
#pragma once

#include <cstddef>
#include <cstdint>

struct Sha1Context {
  std::uint32_t state[5];  // H0 to H4
  std::uint32_t count[2];  // message bits modulo 2^64, low word first
  unsigned char block[64];
};

constexpr std::size_t kSha1DigestSize = 20;

void sha1_init(Sha1Context* ctx);
void sha1_update(Sha1Context* ctx, const void* bytes, std::size_t n);
// Pads, finishes, writes 20 bytes to `digest_out`, then wipes the whole context.
void sha1_final(unsigned char* digest_out, Sha1Context* ctx);
// sha1_update with the last `n` bytes, then sha1_final, with the bytes and the padding reaching
// the kernel in one call.
void sha1_finish(Sha1Context* ctx, const void* bytes, std::size_t n, unsigned char* digest_out);
