#include "output/catalogue_digest.h"

#include <vector>

#include "digest/sha256.h"
#include "platform/platform.h"

namespace {

constexpr std::size_t kReadSize = 1 << 16;

// The lines of the disks already changed, in disk order.
std::string kept_lines;

}  // namespace

std::string file_sha256(const std::string& path) {
  InputHandle input = os().open_path(path, nullptr);
  if (input == nullptr) return "";
  Sha256Context context;
  sha256_init(&context);
  std::vector<char> buffer(kReadSize);
  long long got = 0;
  while ((got = os().read_input(input, buffer.data(), buffer.size())) > 0) {
    sha256_update(&context, buffer.data(), static_cast<std::size_t>(got));
  }
  os().close_input(input);
  if (got < 0) return "";
  char text[2 * kSha256DigestSize + 1];
  sha256_end(&context, text);
  return text;
}

std::string catalogue_digest_line(const std::string& hex) {
  return "  Catalogue SHA-256: " + hex + "\n";
}

void note_catalogue_digest(const std::string& path) {
  const std::string hex = file_sha256(path);
  if (!hex.empty()) kept_lines += catalogue_digest_line(hex);
}

std::string catalogue_digest_lines(const std::string& closed) {
  std::string lines = kept_lines;
  const std::string hex = closed.empty() ? "" : file_sha256(closed);
  if (!hex.empty()) lines += catalogue_digest_line(hex);
  return lines;
}
