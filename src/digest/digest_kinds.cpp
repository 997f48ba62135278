#include "digest/digest_kinds.h"

#include <algorithm>

#include "digest/byte_order.h"
#include "digest/crc32.h"

const char kMd5Marker[] = "- ERROR - FILE POSSIBLY LOCKED -";
const char kSha1Marker[] = "-- ERROR - FILE POSSIBLY LOCKED BY OS --";
const char kCrc32Marker[] = "CRCERROR";
const char kSha256Marker[] = "-------------- ERROR - FILE POSSIBLY LOCKED BY OS --------------";
const char kSha384Marker[] =
    "------------------------------ ERROR - FILE POSSIBLY LOCKED BY OS "
    "------------------------------";
const char kSha512Marker[] =
    "---------------------------------------------- ERROR - FILE POSSIBLY LOCKED BY OS "
    "----------------------------------------------";

static_assert(sizeof kMd5Marker - 1 == 2 * kMd5DigestSize);
static_assert(sizeof kSha1Marker - 1 == 2 * kSha1DigestSize);
static_assert(sizeof kCrc32Marker - 1 == 8);
static_assert(sizeof kSha256Marker - 1 == 2 * kSha256DigestSize);
static_assert(sizeof kSha384Marker - 1 == 2 * kSha384DigestSize);
static_assert(sizeof kSha512Marker - 1 == 2 * kSha512DigestSize);
static_assert(kLongestDigest == kSha512DigestSize);

namespace {

void md5_start(DigestContext* ctx) {
  md5_init(&ctx->md5);
}
void md5_feed(DigestContext* ctx, const unsigned char* bytes, std::size_t n) {
  md5_update(&ctx->md5, bytes, n);
}
void md5_end(DigestContext* ctx, const unsigned char* bytes, std::size_t n, unsigned char* out) {
  md5_finish(&ctx->md5, bytes, n);
  std::copy_n(ctx->md5.digest, kMd5DigestSize, out);
}

void sha1_start(DigestContext* ctx) {
  sha1_init(&ctx->sha1);
}
void sha1_feed(DigestContext* ctx, const unsigned char* bytes, std::size_t n) {
  sha1_update(&ctx->sha1, bytes, n);
}
void sha1_end(DigestContext* ctx, const unsigned char* bytes, std::size_t n, unsigned char* out) {
  sha1_finish(&ctx->sha1, bytes, n, out);
}

void crc32_start(DigestContext* ctx) {
  ctx->crc = kCrc32Initial;
}
void crc32_feed(DigestContext* ctx, const unsigned char* bytes, std::size_t n) {
  ctx->crc = crc32_update(ctx->crc, bytes, n);
}
void crc32_end(DigestContext* ctx, const unsigned char* bytes, std::size_t n, unsigned char* out) {
  store_be32(out, ~crc32_update(ctx->crc, bytes, n));
}

void sha256_start(DigestContext* ctx) {
  sha256_init(&ctx->sha256);
}
void sha256_feed(DigestContext* ctx, const unsigned char* bytes, std::size_t n) {
  sha256_update(&ctx->sha256, bytes, n);
}
void sha256_end(DigestContext* ctx, const unsigned char* bytes, std::size_t n, unsigned char* out) {
  sha256_finish(&ctx->sha256, bytes, n, out);
}

void sha384_start(DigestContext* ctx) {
  sha384_init(&ctx->sha512);
}
void sha384_end(DigestContext* ctx, const unsigned char* bytes, std::size_t n, unsigned char* out) {
  sha384_finish(&ctx->sha512, bytes, n, out);
}

void sha512_start(DigestContext* ctx) {
  sha512_init(&ctx->sha512);
}
void sha512_feed(DigestContext* ctx, const unsigned char* bytes, std::size_t n) {
  sha512_update(&ctx->sha512, bytes, n);
}
void sha512_end(DigestContext* ctx, const unsigned char* bytes, std::size_t n, unsigned char* out) {
  sha512_finish(&ctx->sha512, bytes, n, out);
}

// Indexed by DigestKind.
const DigestKindInfo kKinds[kDigestKindCount] = {
    {"MD5", kMd5DigestSize, kMd5Marker, md5_start, md5_feed, md5_end},
    {"SHA-1", kSha1DigestSize, kSha1Marker, sha1_start, sha1_feed, sha1_end},
    {"CRC-32", 4, kCrc32Marker, crc32_start, crc32_feed, crc32_end},
    {"SHA-256", kSha256DigestSize, kSha256Marker, sha256_start, sha256_feed, sha256_end},
    {"SHA-384", kSha384DigestSize, kSha384Marker, sha384_start, sha512_feed, sha384_end},
    {"SHA-512", kSha512DigestSize, kSha512Marker, sha512_start, sha512_feed, sha512_end},
};

}  // namespace

const DigestKindInfo& digest_kind(DigestKind kind) {
  return kKinds[static_cast<std::size_t>(kind)];
}
