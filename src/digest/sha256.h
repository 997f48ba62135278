// SHA-256 as FIPS 180-2 defines it.
#pragma once

#include <cstddef>
#include <cstdint>

struct Sha256Context {
  std::uint32_t state[8];
  std::uint64_t count;  // message bits
  unsigned char block[64];
};

constexpr std::size_t kSha256DigestSize = 32;

// Loads the initial hash, sets the count to 0 and clears the block.
void sha256_init(Sha256Context* ctx);
// An update with n = 0 changes nothing.
void sha256_update(Sha256Context* ctx, const void* bytes, std::size_t n);
// Pads, finishes and writes 32 bytes, each state word most significant byte first.
void sha256_final(unsigned char* digest_out, Sha256Context* ctx);
// sha256_update with the last `n` bytes, then sha256_final, with the bytes and the padding
// reaching the kernel in one call.
void sha256_finish(Sha256Context* ctx, const void* bytes, std::size_t n, unsigned char* digest_out);
// Finishes and writes the 64 upper-case hexadecimal digits and a NUL (65 bytes) to `text_out`.
void sha256_end(Sha256Context* ctx, char* text_out);
