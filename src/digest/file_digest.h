// The file digest drivers: a file name in, digest text out. Each driver opens the file (with
// the shared open as a fallback when the normal open is refused), positions it at the start
// offset, reads it through one digest and renders upper-case hexadecimal text. The drivers
// keep their buffers and contexts from their first call to the end of the process; they are
// not reentrant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

// Texts that stand in a digest column when the file cannot be opened or a read fails part-way;
// each exactly as wide as the digest text it replaces.
extern const char kMd5Marker[];     // 32 characters
extern const char kSha1Marker[];    // 40 characters
extern const char kCrc32Marker[];   // 8 characters
extern const char kSha256Marker[];  // 64 characters
extern const char kSha384Marker[];  // 96 characters
extern const char kSha512Marker[];  // 128 characters

// Opens a file for digest input in the ANSI code page, retrying in the OEM code page; nullptr
// when both fail. Leaves the file functions in ANSI mode when they were in it before, and in
// OEM mode otherwise.
InputHandle open_for_digest(const std::string& name);
// Bytes read; 0 at the end of the file and on a read error, which also sets *failed when
// `failed` is given.
std::size_t read_chunk(InputHandle input, void* buffer, std::size_t count, bool* failed = nullptr);

// Every driver returns the digest text of its kind, or the kind's marker text when neither
// open can read the file, or when a read fails part-way (then one line on the message stream
// names the file: part of a file's bytes never passes for its digest). An empty text means the
// driver's storage could not be obtained. When Ctrl-C is pressed the driver stops reading at
// once and returns the marker; the caller is expected to end the run before using it.
// Offsets are unsigned 64-bit byte offsets; a start at or past the end gives the digest of
// empty input.

// MD5 from `start` to the end of the file.
std::string md5_file(const std::string& name, std::uint64_t start);
// MD5 of the bytes from `start` up to, not including, `end`; none when start >= end. An `end`
// of 0 means the end of the file.
std::string md5_file_range(const std::string& name, std::uint64_t start, std::uint64_t end);
// SHA-1 from `start`; opens in the ANSI code page only.
std::string sha1_file(const std::string& name, std::uint64_t start);
// CRC-32 from `start`, read 60,000 bytes at a time; opens with the file functions in OEM mode
// first. Stores the final CRC value through `crc_out` when given and a CRC was computed. Ends
// the run with reason 6 when its storage cannot be obtained.
std::string crc32_file(const std::string& name, std::uint32_t* crc_out, std::uint64_t start);
std::string sha256_file(const std::string& name, std::uint64_t start);
std::string sha384_file(const std::string& name, std::uint64_t start);
std::string sha512_file(const std::string& name, std::uint64_t start);
