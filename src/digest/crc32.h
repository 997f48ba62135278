// CRC-32: the reflected CRC of IEEE 802.3 (polynomial 0x04C11DB7, processed least significant
// bit first as 0xEDB88320), initial value all ones, final value complemented.
#pragma once

#include <cstddef>
#include <cstdint>

// The running value starts here; the CRC is the complement of the value after the last byte.
constexpr std::uint32_t kCrc32Initial = 0xFFFFFFFFu;

// The byte-at-a-time table: entry i is the register after shifting i through eight steps.
extern const std::uint32_t kCrc32Table[256];

// Feeds `n` bytes to the running value `crc` and returns the new value.
std::uint32_t crc32_update(std::uint32_t crc, const void* bytes, std::size_t n);
