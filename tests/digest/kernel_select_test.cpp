#include "digest/kernel_select.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "digest/file_digest.h"
#include "digest/kernels.h"
#include "digest_test_support.h"
#include "support/reference_digest.h"
#include "support/temp_dir.h"

namespace {

const std::vector<DigestAlgorithm> kAlgorithms = {
    DigestAlgorithm::kMd5, DigestAlgorithm::kSha1, DigestAlgorithm::kSha256,
    DigestAlgorithm::kSha512, DigestAlgorithm::kCrc32};

}  // namespace

TEST(KernelSelect, PortableIsAlwaysThereAndBestIsChosenByDefault) {
  use_best_kernels();
  for (DigestAlgorithm algorithm : kAlgorithms) {
    std::vector<std::string> names = available_kernels(algorithm);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "portable");
    EXPECT_EQ(kernel_in_use(algorithm), names.front());
  }
}

TEST(KernelSelect, ForcingAnUnknownOrUnsupportedKernelChangesNothing) {
  use_best_kernels();
  for (DigestAlgorithm algorithm : kAlgorithms) {
    const std::string before = kernel_in_use(algorithm);
    EXPECT_FALSE(use_kernel(algorithm, "no-such-kernel"));
    EXPECT_EQ(kernel_in_use(algorithm), before);
    EXPECT_TRUE(use_kernel(algorithm, "portable"));
    EXPECT_EQ(kernel_in_use(algorithm), "portable");
  }
  // A kernel of another algorithm is not a kernel of this one.
  EXPECT_FALSE(use_kernel(DigestAlgorithm::kMd5, "sha-ni"));
  use_best_kernels();
}

TEST(KernelSelect, EveryKernelAgreesWithThePortableOneOnIrregularFeeds) {
  const std::string data = pattern_bytes(70000, 13);
  for (Kind kind : all_kinds()) {
    DigestAlgorithm algorithm = kind_algorithm(kind);
    for (std::size_t length : {0u, 1u, 17u, 64u, 127u, 128u, 129u, 255u, 256u, 257u, 511u, 512u,
                               513u, 1023u, 4097u, 65536u, 70000u}) {
      const std::string input = data.substr(0, length);
      std::string reference;
      {
        KernelScope portable(algorithm, "portable");
        reference = digest_hex(kind, input, 97);
      }
      for (const std::string& kernel : available_kernels(algorithm)) {
        KernelScope scope(algorithm, kernel);
        EXPECT_EQ(digest_hex(kind, input, 1000), reference)
            << kind_name(kind) << " kernel " << kernel << " length " << length;
        EXPECT_EQ(digest_hex(kind, input, 600), reference)
            << kind_name(kind) << " kernel " << kernel << " length " << length;
      }
    }
  }
}

// The vector SHA-512 kernels work on pairs of blocks and schedule the next pair ahead: every
// count of blocks (odd, even, one pair, several, a lone block at the end) and every alignment
// must leave the state exactly as the portable kernel does, from any state.
TEST(KernelSelect, Sha512KernelsAgreeWithThePortableOneOnEveryBlockCount) {
  const std::string data = pattern_bytes(1 + 128 * 19, 29);
  for (const std::string& kernel : available_kernels(DigestAlgorithm::kSha512)) {
    KernelScope scope(DigestAlgorithm::kSha512, kernel);
    ASSERT_TRUE(scope.forced()) << kernel;
    for (std::size_t offset : {0u, 1u}) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(data.data()) + offset;
      for (std::size_t blocks = 0; blocks <= 19; ++blocks) {
        std::uint64_t expected[8], state[8];
        for (int i = 0; i < 8; ++i) {
          expected[i] = state[i] = 0x0123456789ABCDEFull * (i + 1) + blocks;
        }
        sha512_blocks_portable(expected, bytes, blocks);
        active_kernels().sha512(state, bytes, blocks);
        EXPECT_TRUE(std::equal(state, state + 8, expected))
            << "kernel " << kernel << " blocks " << blocks << " offset " << offset;
      }
    }
  }
}

// Every kernel on one and two blocks, on the lengths where the padding fits the last block or
// needs another, and around the longest tail a finish sends to the kernel in one call: fed
// whole to the finish, split between update and finish, and in pieces through the digest set,
// which holds a short piece back for the finish.
TEST(KernelSelect, EveryKernelGivesTheSystemsDigestOnBlockAndPaddingBoundaries) {
  TempDir dir;
  const std::size_t lengths[] = {0,   1,   55,   56,   57,   63,   64,  65,  111,
                                 112, 113, 119,  120,  127,  128,  129, 239, 240,
                                 255, 256, 1008, 1023, 1024, 1025, 1100};
  for (std::size_t length : lengths) {
    const std::string bytes = pattern_bytes(length, static_cast<unsigned>(length) + 3);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    dir.write("message", bytes);
    for (Kind kind : all_kinds()) {
      const std::string expected = kind == Kind::kCrc32
                                       ? bitwise_crc32_text(bytes)
                                       : reference_digest(kind_name(kind), dir.at("message"));
      ASSERT_FALSE(expected.empty()) << kReferenceSource << " gave no " << kind_name(kind);
      const DigestKind digest = digest_kind_of(kind);
      const DigestKindInfo& info = digest_kind(digest);
      for (const std::string& kernel : available_kernels(kind_algorithm(kind))) {
        KernelScope scope(kind_algorithm(kind), kernel);
        const std::string where = std::string(kind_name(kind)) + " kernel " + kernel + " length " +
                                  std::to_string(length);
        for (std::size_t split : {std::size_t{0}, std::size_t{1}, std::size_t{64}, std::size_t{128},
                                  length / 2, length}) {
          if (split > length) continue;
          DigestContext ctx;
          info.init(&ctx);
          info.update(&ctx, data, split);
          unsigned char out[kLongestDigest];
          info.finish(&ctx, data + split, length - split, out);
          EXPECT_EQ(hex_upper(out, info.size), expected) << where << " finished from " << split;
        }
        const DigestRequest request = one_kind_of(DigestRequest{}, digest);
        for (std::size_t piece : {7, 64, 1000, 1025}) {
          DigestSet set;
          start_digests(&set, request);
          for (std::size_t at = 0; at < length; at += piece) {
            feed_digests(&set, data + at, std::min(piece, length - at));
          }
          DigestTexts texts;
          finish_digests(&set, &texts);
          EXPECT_EQ(text_of(texts, digest), expected) << where << " in pieces of " << piece;
        }
      }
    }
  }
}
