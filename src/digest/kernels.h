// The block kernels behind the digest algorithms, and the set in use. Internal to the digest
// folder: the algorithm sources call through active_kernels(), kernel_select.cpp fills it.
#pragma once

#include <cstddef>
#include <cstdint>

// Each block kernel transforms `blocks` whole blocks read straight from `data` (any alignment).
using Md5Blocks = void (*)(std::uint32_t* state, const unsigned char* data, std::size_t blocks);
using Sha1Blocks = void (*)(std::uint32_t* state, const unsigned char* data, std::size_t blocks);
using Sha256Blocks = void (*)(std::uint32_t* state, const unsigned char* data, std::size_t blocks);
using Sha512Blocks = void (*)(std::uint64_t* state, const unsigned char* data, std::size_t blocks);
// Advances the running (not complemented) CRC register over `n` bytes.
using Crc32Bytes = std::uint32_t (*)(std::uint32_t crc, const unsigned char* data, std::size_t n);

struct ActiveKernels {
  Md5Blocks md5;
  Sha1Blocks sha1;
  Sha256Blocks sha256;
  Sha512Blocks sha512;
  Crc32Bytes crc32;
};

const ActiveKernels& active_kernels();

// Portable kernels: always compiled, the reference for the others.
void md5_blocks_portable(std::uint32_t* state, const unsigned char* data, std::size_t blocks);
void sha1_blocks_portable(std::uint32_t* state, const unsigned char* data, std::size_t blocks);
void sha256_blocks_portable(std::uint32_t* state, const unsigned char* data, std::size_t blocks);
void sha512_blocks_portable(std::uint64_t* state, const unsigned char* data, std::size_t blocks);
std::uint32_t crc32_bytes_portable(std::uint32_t crc, const unsigned char* data, std::size_t n);

// x86 kernels, compiled only for x86 processors and run only where cpu_features() allows.
void sha1_blocks_shani(std::uint32_t* state, const unsigned char* data, std::size_t blocks);
void sha256_blocks_shani(std::uint32_t* state, const unsigned char* data, std::size_t blocks);
void sha512_blocks_avx2(std::uint64_t* state, const unsigned char* data, std::size_t blocks);
std::uint32_t crc32_bytes_pclmul(std::uint32_t crc, const unsigned char* data, std::size_t n);
std::uint32_t crc32_bytes_vpclmul(std::uint32_t crc, const unsigned char* data, std::size_t n);

// Round constants the SHA-2 kernels share (FIPS 180-2).
extern const std::uint32_t kSha256RoundConstants[64];
extern const std::uint64_t kSha512RoundConstants[80];
