#include "digest/kernel_select.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "digest/kernels.h"
#include "digest_test_support.h"

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
