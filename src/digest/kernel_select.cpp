#include "digest/kernel_select.h"

#include "digest/cpu_features.h"
#include "digest/kernels.h"

namespace {

struct KernelEntry {
  DigestAlgorithm algorithm;
  const char* name;
  bool (*supported)();
  void (*install)(ActiveKernels& kernels);
};

bool always() {
  return true;
}

// Best first within each algorithm; the portable kernel last.
const KernelEntry kEntries[] = {
#if TALLYSUM_X86_KERNELS
    {DigestAlgorithm::kSha1, "sha-ni", [] { return cpu_features().sha; },
     [](ActiveKernels& k) { k.sha1 = sha1_blocks_shani; }},
    {DigestAlgorithm::kSha256, "sha-ni", [] { return cpu_features().sha; },
     [](ActiveKernels& k) { k.sha256 = sha256_blocks_shani; }},
    {DigestAlgorithm::kSha512, "avx2",
     [] { return cpu_features().avx2 && cpu_features().bmi1 && cpu_features().bmi2; },
     [](ActiveKernels& k) { k.sha512 = sha512_blocks_avx2; }},
    {DigestAlgorithm::kCrc32, "vpclmul", [] { return cpu_features().vpclmul; },
     [](ActiveKernels& k) { k.crc32 = crc32_bytes_vpclmul; }},
    {DigestAlgorithm::kCrc32, "pclmul", [] { return cpu_features().pclmul; },
     [](ActiveKernels& k) { k.crc32 = crc32_bytes_pclmul; }},
#endif
    {DigestAlgorithm::kMd5, "portable", always,
     [](ActiveKernels& k) { k.md5 = md5_blocks_portable; }},
    {DigestAlgorithm::kSha1, "portable", always,
     [](ActiveKernels& k) { k.sha1 = sha1_blocks_portable; }},
    {DigestAlgorithm::kSha256, "portable", always,
     [](ActiveKernels& k) { k.sha256 = sha256_blocks_portable; }},
    {DigestAlgorithm::kSha512, "portable", always,
     [](ActiveKernels& k) { k.sha512 = sha512_blocks_portable; }},
    {DigestAlgorithm::kCrc32, "portable", always,
     [](ActiveKernels& k) { k.crc32 = crc32_bytes_portable; }},
};

constexpr int kAlgorithmCount = 5;

ActiveKernels active = {md5_blocks_portable, sha1_blocks_portable, sha256_blocks_portable,
                        sha512_blocks_portable, crc32_bytes_portable};
const char* active_names[kAlgorithmCount] = {"portable", "portable", "portable", "portable",
                                             "portable"};

void install(const KernelEntry& entry) {
  entry.install(active);
  active_names[static_cast<int>(entry.algorithm)] = entry.name;
}

void choose_best() {
  bool done[kAlgorithmCount] = {};
  for (const KernelEntry& entry : kEntries) {
    int slot = static_cast<int>(entry.algorithm);
    if (done[slot] || !entry.supported()) continue;
    install(entry);
    done[slot] = true;
  }
}

// Digest workers may ask on several threads at once for the first time.
void choose_once() {
  static const bool chosen = (choose_best(), true);
  (void)chosen;
}

}  // namespace

const ActiveKernels& active_kernels() {
  choose_once();
  return active;
}

std::vector<std::string> available_kernels(DigestAlgorithm algorithm) {
  std::vector<std::string> names;
  for (const KernelEntry& entry : kEntries) {
    if (entry.algorithm == algorithm && entry.supported()) names.emplace_back(entry.name);
  }
  return names;
}

bool use_kernel(DigestAlgorithm algorithm, const std::string& name) {
  choose_once();
  for (const KernelEntry& entry : kEntries) {
    if (entry.algorithm != algorithm || name != entry.name || !entry.supported()) continue;
    install(entry);
    return true;
  }
  return false;
}

void use_best_kernels() {
  choose_best();
}

std::string kernel_in_use(DigestAlgorithm algorithm) {
  choose_once();
  return active_names[static_cast<int>(algorithm)];
}
