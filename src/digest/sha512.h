// SHA-512 and SHA-384 as FIPS 180-2 defines them; one context shape serves both.
#pragma once

#include <cstddef>
#include <cstdint>

struct Sha512Context {
  std::uint64_t state[8];
  std::uint64_t count[2];  // message bits modulo 2^128, low word first
  unsigned char block[128];
};

constexpr std::size_t kSha384DigestSize = 48;
constexpr std::size_t kSha512DigestSize = 64;

// Load the variant's initial hash, set the count to 0 and clear the block.
void sha384_init(Sha512Context* ctx);
void sha512_init(Sha512Context* ctx);
// Both variants update through this; n = 0 changes nothing.
void sha512_update(Sha512Context* ctx, const void* bytes, std::size_t n);
// Pad, finish and write the digest, each state word most significant byte first; SHA-384
// writes the first six words (48 bytes), SHA-512 all eight (64 bytes).
void sha384_final(unsigned char* digest_out, Sha512Context* ctx);
void sha512_final(unsigned char* digest_out, Sha512Context* ctx);
// sha512_update with the last `n` bytes, then the variant's final step, with the bytes and the
// padding reaching the kernel in one call.
void sha384_finish(Sha512Context* ctx, const void* bytes, std::size_t n, unsigned char* digest_out);
void sha512_finish(Sha512Context* ctx, const void* bytes, std::size_t n, unsigned char* digest_out);
// Finish and write upper-case hexadecimal text and a NUL: 97 and 129 bytes of `text_out`.
void sha384_end(Sha512Context* ctx, char* text_out);
void sha512_end(Sha512Context* ctx, char* text_out);
