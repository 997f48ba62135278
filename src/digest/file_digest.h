// The file digest drivers: a file name in, digest text out.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// Texts that stand in a digest column when the file cannot be opened; each as wide as the
// digest it replaces.
extern const char kMd5Marker[];     // 32 characters
extern const char kSha1Marker[];    // 40 characters
extern const char kCrc32Marker[];   // 8 characters
extern const char kSha256Marker[];  // 64 characters
extern const char kSha384Marker[];  // 96 characters
extern const char kSha512Marker[];  // 128 characters

// Opens a file for digest input, retrying in the OEM code page; nullptr when both fail.
InputHandle open_for_digest(const std::string& name);
// Bytes read; 0 at the end of the file and on a read error.
std::size_t read_chunk(InputHandle input, void* buffer, std::size_t count);

// Upper-case hexadecimal text of the digest from `start` to the end of the file, or the marker
// text of the kind. Offsets are unsigned 32-bit.
std::string md5_file(const std::string& name, std::uint32_t start);
// MD5 of the bytes from `start` up to, not including, `end`.
std::string md5_file_range(const std::string& name, std::uint32_t start, std::uint32_t end);
std::string sha1_file(const std::string& name, std::uint32_t start);
// Also stores the final CRC value through `crc_out` when given.
std::string crc32_file(const std::string& name, std::uint32_t* crc_out, std::uint32_t start);
std::string sha256_file(const std::string& name, std::uint32_t start);
std::string sha384_file(const std::string& name, std::uint32_t start);
std::string sha512_file(const std::string& name, std::uint32_t start);
