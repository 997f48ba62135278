// The digests against a second source: the system's own checksum programs or cryptography
// library for the hashes and a bitwise CRC for CRC-32, over generated files of assorted sizes.
#include <gtest/gtest.h>

#include <cstdio>

#include "digest/file_digest.h"
#include "digest_test_support.h"
#include "support/reference_digest.h"
#include "support/temp_dir.h"

namespace {

const std::vector<std::size_t>& assorted_sizes() {
  static const std::vector<std::size_t> sizes = {
      0,   1,   55,  56,   57,    63,    64,    65,    111,   112,    113,
      127, 128, 129, 1000, 59999, 60000, 65535, 65536, 65537, 131072, 1000003};
  return sizes;
}

std::string file_name(std::size_t size) {
  std::string name = "f";
  name += std::to_string(size);
  return name;
}

std::string second_source(Kind kind, const std::string& path, const std::string& bytes) {
  return kind == Kind::kCrc32 ? bitwise_crc32_text(bytes) : reference_digest(kind_name(kind), path);
}

}  // namespace

TEST(SecondSource, EveryKernelAgreesWithTheSystemsDigestsOnAssortedSizes) {
  TempDir dir;
  for (std::size_t size : assorted_sizes()) {
    const std::string name = file_name(size);
    const std::string bytes = pattern_bytes(size, static_cast<unsigned>(size) + 11);
    dir.write(name, bytes);
    for (Kind kind : all_kinds()) {
      const std::string expected = second_source(kind, dir.at(name), bytes);
      ASSERT_FALSE(expected.empty()) << kReferenceSource << " gave no " << kind_name(kind);
      for (const std::string& kernel : available_kernels(kind_algorithm(kind))) {
        KernelScope scope(kind_algorithm(kind), kernel);
        EXPECT_EQ(digest_hex(kind, bytes), expected)
            << kind_name(kind) << " kernel " << kernel << " size " << size;
      }
    }
  }
}

// One pass of every kind over `name` in the real directory `dir`, through the native layer.
DigestResult real_digest(const std::string& dir, const std::string& name, std::uint64_t start = 0,
                         std::uint64_t md5_end = 0) {
  Directory directory{dir + kSeparator, native_platform().open_directory(dir, nullptr)};
  DirEntry listed;
  listed.name = name;
  native_platform().entry_facts(directory, name, &listed);
  DigestRequest request;
  request.md5 = request.sha1 = request.crc32 = true;
  request.sha256 = request.sha384 = request.sha512 = true;
  request.start = start;
  request.md5_end = md5_end;
  DigestResult result = digest_file(directory, listed, request);
  if (directory.handle != nullptr) native_platform().close_directory(directory.handle);
  return result;
}

TEST(SecondSource, OnePassOverRealFilesAgreesWithTheSystemsDigests) {
  TempDir dir;
  for (std::size_t size : assorted_sizes()) {
    const std::string name = file_name(size);
    const std::string bytes = pattern_bytes(size, static_cast<unsigned>(size) + 23);
    dir.write(name, bytes);
    const std::string path = dir.at(name);
    DigestTexts texts = real_digest(dir.path(), name).texts;
    EXPECT_EQ(texts.md5, second_source(Kind::kMd5, path, bytes)) << size;
    EXPECT_EQ(texts.sha1, second_source(Kind::kSha1, path, bytes)) << size;
    EXPECT_EQ(texts.crc32, second_source(Kind::kCrc32, path, bytes)) << size;
    EXPECT_EQ(texts.sha256, second_source(Kind::kSha256, path, bytes)) << size;
    EXPECT_EQ(texts.sha384, second_source(Kind::kSha384, path, bytes)) << size;
    EXPECT_EQ(texts.sha512, second_source(Kind::kSha512, path, bytes)) << size;
    if (size > 200) {
      DigestTexts range = real_digest(dir.path(), name, 100, 200).texts;
      dir.write("part", bytes.substr(100, 100));
      EXPECT_EQ(range.md5, second_source(Kind::kMd5, dir.at("part"), ""));
      dir.write("tail", bytes.substr(100));
      EXPECT_EQ(range.sha256, second_source(Kind::kSha256, dir.at("tail"), ""));
    }
  }
}

TEST(SecondSource, WhatTheNativeLayerCannotOpenGivesMarkers) {
  TempDir dir;
  dir.mkdir("a-directory");
  for (const std::string& name : {std::string("a-directory"), std::string("missing")}) {
    DigestResult result = real_digest(dir.path(), name, 0, 10);
    EXPECT_NE(result.outcome, DigestOutcome::kDone) << name;
    EXPECT_EQ(result.texts.md5, kMd5Marker) << name;
    EXPECT_EQ(result.texts.sha1, kSha1Marker) << name;
    EXPECT_EQ(result.texts.crc32, kCrc32Marker) << name;
    EXPECT_EQ(result.texts.sha256, kSha256Marker) << name;
    EXPECT_EQ(result.texts.sha384, kSha384Marker) << name;
    EXPECT_EQ(result.texts.sha512, kSha512Marker) << name;
  }
}
