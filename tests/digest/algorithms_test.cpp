#include <gtest/gtest.h>

#include <cstring>

#include "digest_test_support.h"

namespace {

struct Vector {
  Kind kind;
  std::string input;
  const char* expected;  // lower case, as published
};

const std::string kTwoBlock256 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const std::string kTwoBlock512 =
    "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmn"
    "opqrsmnopqrstnopqrstu";
const std::string kMillionA(1000000, 'a');

const std::vector<Vector>& published_vectors() {
  static const std::vector<Vector> vectors = {
      {Kind::kMd5, "", "d41d8cd98f00b204e9800998ecf8427e"},
      {Kind::kMd5, "a", "0cc175b9c0f1b6a831c399e269772661"},
      {Kind::kMd5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
      {Kind::kMd5, "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {Kind::kMd5, "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {Kind::kMd5, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {Kind::kMd5,
       "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {Kind::kSha1, "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {Kind::kSha1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {Kind::kSha1, kTwoBlock256, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {Kind::kSha1, kMillionA, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
      {Kind::kSha256, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {Kind::kSha256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {Kind::kSha256, kTwoBlock256,
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {Kind::kSha256, kMillionA,
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {Kind::kSha384, "",
       "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f1"
       "4898b95b"},
      {Kind::kSha384, "abc",
       "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca1"
       "34c825a7"},
      {Kind::kSha384, kTwoBlock512,
       "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa"
       "91746039"},
      {Kind::kSha384, kMillionA,
       "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd8"
       "7f3d8985"},
      {Kind::kSha512, "",
       "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2"
       "877eec2f63b931bd47417a81a538327af927da3e"},
      {Kind::kSha512, "abc",
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23"
       "a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
      {Kind::kSha512, kTwoBlock512,
       "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99de"
       "c4b5433ac7d329eeb6dd26545e96e55b874be909"},
      {Kind::kSha512, kMillionA,
       "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432c"
       "e577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
      {Kind::kCrc32, "", "00000000"},
      {Kind::kCrc32, "123456789", "cbf43926"},
      {Kind::kCrc32, "The quick brown fox jumps over the lazy dog", "414fa339"},
  };
  return vectors;
}

// The CRC computed bit by bit from the polynomial, sharing nothing with the table or kernels.
std::uint32_t bitwise_crc32(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

}  // namespace

TEST(DigestAlgorithms, PublishedVectorsOnEveryKernel) {
  for (const Vector& v : published_vectors()) {
    for (const std::string& kernel : available_kernels(kind_algorithm(v.kind))) {
      KernelScope scope(kind_algorithm(v.kind), kernel);
      ASSERT_TRUE(scope.forced());
      EXPECT_EQ(digest_hex(v.kind, v.input), upper(v.expected))
          << kind_name(v.kind) << " kernel " << kernel << " input length " << v.input.size();
    }
  }
}

TEST(DigestAlgorithms, EveryReadSizeGivesTheSameDigest) {
  const std::string data = pattern_bytes(1000, 7);
  for (Kind kind : all_kinds()) {
    for (const std::string& kernel : available_kernels(kind_algorithm(kind))) {
      KernelScope scope(kind_algorithm(kind), kernel);
      const std::string whole = digest_hex(kind, data);
      for (std::size_t piece = 1; piece <= 130; ++piece) {
        ASSERT_EQ(digest_hex(kind, data, piece), whole)
            << kind_name(kind) << " kernel " << kernel << " pieces of " << piece;
      }
    }
  }
}

TEST(DigestAlgorithms, UnalignedInputGivesTheSameDigest) {
  const std::string data = pattern_bytes(777, 3);
  std::vector<char> shifted(data.size() + 64);
  for (Kind kind : all_kinds()) {
    const std::string expected = digest_hex(kind, data);
    for (std::size_t offset = 1; offset < 64; offset += 3) {
      std::memcpy(shifted.data() + offset, data.data(), data.size());
      EXPECT_EQ(digest_hex(kind, std::string(shifted.data() + offset, data.size())), expected)
          << kind_name(kind) << " at offset " << offset;
      // And straight from the misaligned memory, not through a fresh string.
      if (kind == Kind::kCrc32) {
        std::uint32_t crc = crc32_update(kCrc32Initial, shifted.data() + offset, data.size());
        EXPECT_EQ(~crc, bitwise_crc32(data)) << "offset " << offset;
      }
    }
  }
}

TEST(DigestAlgorithms, Crc32MatchesTheBitwiseDefinition) {
  for (std::size_t n : {0u, 1u, 3u, 15u, 16u, 17u, 63u, 64u, 65u, 255u, 256u, 511u, 512u, 513u,
                        1000u, 4096u, 60000u, 65536u, 100003u}) {
    const std::string data = pattern_bytes(n, static_cast<unsigned>(n) + 5);
    for (const std::string& kernel : available_kernels(DigestAlgorithm::kCrc32)) {
      KernelScope scope(DigestAlgorithm::kCrc32, kernel);
      std::uint32_t crc = crc32_update(kCrc32Initial, data.data(), data.size());
      EXPECT_EQ(~crc, bitwise_crc32(data)) << "kernel " << kernel << " length " << n;
    }
  }
}

TEST(DigestAlgorithms, Crc32TableIsTheReflectedPolynomialTable) {
  EXPECT_EQ(kCrc32Table[1], 0x77073096u);
  EXPECT_EQ(kCrc32Table[255], 0x2D02EF8Du);
  for (unsigned i = 0; i < 256; ++i) {
    std::uint32_t entry = i;
    for (int bit = 0; bit < 8; ++bit)
      entry = (entry & 1u) ? (entry >> 1) ^ 0xEDB88320u : entry >> 1;
    ASSERT_EQ(kCrc32Table[i], entry) << "entry " << i;
  }
}

TEST(DigestAlgorithms, Sha1FinalWipesTheContext) {
  Sha1Context ctx;
  sha1_init(&ctx);
  sha1_update(&ctx, "secret bytes that must not linger", 33);
  unsigned char digest[kSha1DigestSize];
  sha1_final(digest, &ctx);
  Sha1Context zero;
  std::memset(static_cast<void*>(&zero), 0, sizeof zero);
  EXPECT_EQ(std::memcmp(&ctx, &zero, sizeof ctx), 0);
  EXPECT_EQ(hex_upper(digest, sizeof digest),
            digest_hex(Kind::kSha1, "secret bytes that must not linger"));
}

TEST(DigestAlgorithms, Sha2EndRendersUpperCaseTextOfTheDigest) {
  const std::string data = "abc";
  char text[130];

  Sha256Context ctx256;
  sha256_init(&ctx256);
  sha256_update(&ctx256, data.data(), data.size());
  sha256_end(&ctx256, text);
  EXPECT_EQ(std::string(text), digest_hex(Kind::kSha256, data));
  EXPECT_EQ(std::strlen(text), 64u);

  Sha512Context ctx;
  sha384_init(&ctx);
  sha512_update(&ctx, data.data(), data.size());
  sha384_end(&ctx, text);
  const std::string text384 = text;
  EXPECT_EQ(text384.size(), 96u);
  EXPECT_EQ(text384, digest_hex(Kind::kSha384, data));

  sha512_init(&ctx);
  sha512_update(&ctx, data.data(), data.size());
  sha512_end(&ctx, text);
  const std::string text512 = text;
  EXPECT_EQ(text512.size(), 128u);
  // Different initial hash: the 384-bit digest is not a cut-down 512-bit one.
  EXPECT_NE(text512.substr(0, 96), text384);
  EXPECT_EQ(text512.find_first_of("abcdef"), std::string::npos);
}

TEST(DigestAlgorithms, EmptyUpdatesChangeNothing) {
  Md5Context md5;
  md5_init(&md5);
  md5_update(&md5, "ab", 2);
  md5_update(&md5, nullptr, 0);
  md5_update(&md5, "c", 1);
  md5_final(&md5);
  EXPECT_EQ(hex_upper(md5.digest, kMd5DigestSize), digest_hex(Kind::kMd5, "abc"));

  Sha512Context sha;
  sha512_init(&sha);
  sha512_update(&sha, "ab", 2);
  sha512_update(&sha, nullptr, 0);
  sha512_update(&sha, "c", 1);
  unsigned char digest[kSha512DigestSize];
  sha512_final(digest, &sha);
  EXPECT_EQ(hex_upper(digest, sizeof digest), digest_hex(Kind::kSha512, "abc"));

  std::uint32_t crc = crc32_update(kCrc32Initial, "abc", 3);
  EXPECT_EQ(crc32_update(crc, nullptr, 0), crc);
}
