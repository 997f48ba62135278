// Shared helpers for the digest tests: one way to run any of the six digest kinds over bytes,
// fed in pieces of a chosen size, and a scope that forces a kernel for its lifetime.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "digest/crc32.h"
#include "digest/digest_kinds.h"
#include "digest/kernel_select.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"

enum class Kind { kMd5, kSha1, kSha256, kSha384, kSha512, kCrc32 };

inline const std::vector<Kind>& all_kinds() {
  static const std::vector<Kind> kinds = {Kind::kMd5,    Kind::kSha1,   Kind::kSha256,
                                          Kind::kSha384, Kind::kSha512, Kind::kCrc32};
  return kinds;
}

inline const char* kind_name(Kind kind) {
  switch (kind) {
    case Kind::kMd5:
      return "md5";
    case Kind::kSha1:
      return "sha1";
    case Kind::kSha256:
      return "sha256";
    case Kind::kSha384:
      return "sha384";
    case Kind::kSha512:
      return "sha512";
    case Kind::kCrc32:
      return "crc32";
  }
  return "?";
}

inline DigestAlgorithm kind_algorithm(Kind kind) {
  switch (kind) {
    case Kind::kMd5:
      return DigestAlgorithm::kMd5;
    case Kind::kSha1:
      return DigestAlgorithm::kSha1;
    case Kind::kSha256:
      return DigestAlgorithm::kSha256;
    case Kind::kSha384:
    case Kind::kSha512:
      return DigestAlgorithm::kSha512;
    case Kind::kCrc32:
      return DigestAlgorithm::kCrc32;
  }
  return DigestAlgorithm::kMd5;
}

inline DigestKind digest_kind_of(Kind kind) {
  switch (kind) {
    case Kind::kMd5:
      return DigestKind::kMd5;
    case Kind::kSha1:
      return DigestKind::kSha1;
    case Kind::kSha256:
      return DigestKind::kSha256;
    case Kind::kSha384:
      return DigestKind::kSha384;
    case Kind::kSha512:
      return DigestKind::kSha512;
    case Kind::kCrc32:
      return DigestKind::kCrc32;
  }
  return DigestKind::kMd5;
}

// The CRC-32 text computed bit by bit from the polynomial, sharing nothing with the table or
// the kernels.
inline std::string bitwise_crc32_text(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(~crc));
  return text;
}

inline std::string hex_upper(const unsigned char* bytes, std::size_t n) {
  std::string text;
  char pair[3];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    text += pair;
  }
  return text;
}

inline std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// Feeds `data` to one context in pieces of `piece` bytes (0: one update with everything)
// and returns the upper-case hexadecimal digest.
template <typename Update>
void feed_in_pieces(const std::string& data, std::size_t piece, Update update) {
  if (piece == 0) piece = data.size() + 1;
  for (std::size_t at = 0; at < data.size(); at += piece) {
    update(data.data() + at, std::min(piece, data.size() - at));
  }
  if (data.empty()) update(data.data(), 0);
}

inline std::string digest_hex(Kind kind, const std::string& data, std::size_t piece = 0) {
  unsigned char digest[64];
  switch (kind) {
    case Kind::kMd5: {
      Md5Context ctx;
      md5_init(&ctx);
      feed_in_pieces(data, piece, [&](const char* p, std::size_t n) { md5_update(&ctx, p, n); });
      md5_final(&ctx);
      return hex_upper(ctx.digest, kMd5DigestSize);
    }
    case Kind::kSha1: {
      Sha1Context ctx;
      sha1_init(&ctx);
      feed_in_pieces(data, piece, [&](const char* p, std::size_t n) { sha1_update(&ctx, p, n); });
      sha1_final(digest, &ctx);
      return hex_upper(digest, kSha1DigestSize);
    }
    case Kind::kSha256: {
      Sha256Context ctx;
      sha256_init(&ctx);
      feed_in_pieces(data, piece, [&](const char* p, std::size_t n) { sha256_update(&ctx, p, n); });
      sha256_final(digest, &ctx);
      return hex_upper(digest, kSha256DigestSize);
    }
    case Kind::kSha384:
    case Kind::kSha512: {
      Sha512Context ctx;
      bool short_form = kind == Kind::kSha384;
      short_form ? sha384_init(&ctx) : sha512_init(&ctx);
      feed_in_pieces(data, piece, [&](const char* p, std::size_t n) { sha512_update(&ctx, p, n); });
      short_form ? sha384_final(digest, &ctx) : sha512_final(digest, &ctx);
      return hex_upper(digest, short_form ? kSha384DigestSize : kSha512DigestSize);
    }
    case Kind::kCrc32: {
      std::uint32_t crc = kCrc32Initial;
      feed_in_pieces(data, piece,
                     [&](const char* p, std::size_t n) { crc = crc32_update(crc, p, n); });
      char text[9];
      std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(~crc));
      return text;
    }
  }
  return "";
}

// Forces one kernel while in scope; the best kernels again afterwards.
class KernelScope {
 public:
  KernelScope(DigestAlgorithm algorithm, const std::string& name) {
    forced_ = use_kernel(algorithm, name);
  }
  ~KernelScope() { use_best_kernels(); }
  KernelScope(const KernelScope&) = delete;
  KernelScope& operator=(const KernelScope&) = delete;
  bool forced() const { return forced_; }

 private:
  bool forced_ = false;
};

// Deterministic bytes that are not periodic over any block size.
inline std::string pattern_bytes(std::size_t n, unsigned seed = 1) {
  std::string bytes(n, '\0');
  std::uint32_t x = 0x9E3779B9u * seed + 12345u;
  for (std::size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<char>(x >> 24);
  }
  return bytes;
}
