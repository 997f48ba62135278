// The six digest kinds behind one interface, so that the driver, the shared pass over large
// files and the record writers treat every kind alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"

// In the order of the file record's columns.
enum class DigestKind { kMd5, kSha1, kCrc32, kSha256, kSha384, kSha512 };
constexpr std::size_t kDigestKindCount = 6;
constexpr DigestKind kAllDigestKinds[kDigestKindCount] = {DigestKind::kMd5,    DigestKind::kSha1,
                                                          DigestKind::kCrc32,  DigestKind::kSha256,
                                                          DigestKind::kSha384, DigestKind::kSha512};

// The running state of any one kind.
union DigestContext {
  Md5Context md5;
  Sha1Context sha1;
  std::uint32_t crc;
  Sha256Context sha256;
  Sha512Context sha512;
};

constexpr std::size_t kLongestDigest = 64;

// The longest tail of a message that a kind's finish hands to the kernel together with the
// padding, in one call.
constexpr std::size_t kLastRunBytes = 1024;

struct DigestKindInfo {
  const char* name;    // as users know it: "MD5", "SHA-1", "CRC-32", ...
  std::size_t size;    // digest bytes; the text has twice as many characters
  const char* marker;  // stands in the text's place when the input cannot be read
  void (*init)(DigestContext* ctx);
  void (*update)(DigestContext* ctx, const unsigned char* bytes, std::size_t n);
  // Feeds the last `n` bytes, finishes and writes `size` bytes of digest, most significant
  // first for CRC-32. The context needs init before reuse.
  void (*finish)(DigestContext* ctx, const unsigned char* bytes, std::size_t n,
                 unsigned char* digest_out);
};

const DigestKindInfo& digest_kind(DigestKind kind);

// Texts that stand in a digest column when the file cannot be opened or read; each exactly as
// wide as the digest text it replaces.
extern const char kMd5Marker[];     // 32 characters
extern const char kSha1Marker[];    // 40 characters
extern const char kCrc32Marker[];   // 8 characters
extern const char kSha256Marker[];  // 64 characters
extern const char kSha384Marker[];  // 96 characters
extern const char kSha512Marker[];  // 128 characters
