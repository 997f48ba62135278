// Which processor-specific kernel each digest algorithm runs. The best kernel the processor
// supports is chosen on first use; tests and the benchmark may force any available one.
#pragma once

#include <string>
#include <vector>

enum class DigestAlgorithm { kMd5, kSha1, kSha256, kSha512, kCrc32 };

// The kernels this processor can run for `algorithm`, best first; "portable" is always there
// and always last.
std::vector<std::string> available_kernels(DigestAlgorithm algorithm);
// Forces `name` for `algorithm`; false (nothing changed) when the name is unknown or the
// processor cannot run it. SHA-384 shares the SHA-512 kernel.
bool use_kernel(DigestAlgorithm algorithm, const std::string& name);
// Returns every algorithm to the best kernel available.
void use_best_kernels();
// The name of the kernel `algorithm` runs now.
std::string kernel_in_use(DigestAlgorithm algorithm);
