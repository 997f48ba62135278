// Byte-order loads and stores and rotations shared by the digest algorithms. The compiler
// turns the memcpy and byte-swap forms into single moves and bswap/ror instructions.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

inline std::uint32_t rotl32(std::uint32_t x, int n) {
  return std::rotl(x, n);
}
inline std::uint32_t rotr32(std::uint32_t x, int n) {
  return std::rotr(x, n);
}
inline std::uint64_t rotr64(std::uint64_t x, int n) {
  return std::rotr(x, n);
}

inline std::uint32_t byte_swap32(std::uint32_t x) {
  return __builtin_bswap32(x);
}
inline std::uint64_t byte_swap64(std::uint64_t x) {
  return __builtin_bswap64(x);
}

inline std::uint32_t load_le32(const unsigned char* p) {
  std::uint32_t x;
  std::memcpy(&x, p, sizeof x);
  return std::endian::native == std::endian::little ? x : byte_swap32(x);
}

inline std::uint32_t load_be32(const unsigned char* p) {
  std::uint32_t x;
  std::memcpy(&x, p, sizeof x);
  return std::endian::native == std::endian::big ? x : byte_swap32(x);
}

inline std::uint64_t load_be64(const unsigned char* p) {
  std::uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return std::endian::native == std::endian::big ? x : byte_swap64(x);
}

inline void store_le32(unsigned char* p, std::uint32_t x) {
  if (std::endian::native != std::endian::little) x = byte_swap32(x);
  std::memcpy(p, &x, sizeof x);
}

inline void store_be32(unsigned char* p, std::uint32_t x) {
  if (std::endian::native != std::endian::big) x = byte_swap32(x);
  std::memcpy(p, &x, sizeof x);
}

inline void store_be64(unsigned char* p, std::uint64_t x) {
  if (std::endian::native != std::endian::big) x = byte_swap64(x);
  std::memcpy(p, &x, sizeof x);
}
