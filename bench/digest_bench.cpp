// Prints the throughput of every digest kernel on 64 KiB blocks in memory, of every driver on
// a file the page cache holds, and, where the openssl command is installed, its figure for the
// same algorithm and block size measured in the same run, with our ratio to it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "digest/crc32.h"
#include "digest/file_digest.h"
#include "digest/kernel_select.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"

namespace {

constexpr std::size_t kBlock = 65536;
// Figures are per second of processor time, as openssl's are, so that other work on the
// machine does not count against either; the best of several short runs is reported.
constexpr double kSeconds = 0.3;
constexpr int kRuns = 5;
constexpr int kOpensslRuns = 3;

struct Algorithm {
  const char* name;
  DigestAlgorithm kernels;
  // Digests `blocks` copies of the 64 KiB buffer as one message.
  std::function<void(const unsigned char* buffer, std::size_t blocks)> run;
  std::function<std::string(const std::string& path)> driver;
};

// The digest of one kind through the file driver's single pass.
std::string through_driver(const std::string& path, bool DigestRequest::*kind) {
  DigestRequest request;
  request.*kind = true;
  DigestTexts texts = digest_path(path, request).texts;
  for (const std::string* text :
       {&texts.md5, &texts.sha1, &texts.crc32, &texts.sha256, &texts.sha384, &texts.sha512}) {
    if (!text->empty()) return *text;
  }
  return std::string();
}

template <typename Context, typename Init, typename Update, typename Final>
void one_message(const unsigned char* buffer, std::size_t blocks, Init init, Update update,
                 Final final) {
  Context ctx;
  init(&ctx);
  for (std::size_t i = 0; i < blocks; ++i) update(&ctx, buffer, kBlock);
  final(&ctx);
}

std::vector<Algorithm> algorithms() {
  return {
      {"md5", DigestAlgorithm::kMd5,
       [](const unsigned char* b, std::size_t n) {
         one_message<Md5Context>(b, n, md5_init, md5_update, md5_final);
       },
       [](const std::string& p) { return through_driver(p, &DigestRequest::md5); }},
      {"sha1", DigestAlgorithm::kSha1,
       [](const unsigned char* b, std::size_t n) {
         unsigned char d[20];
         one_message<Sha1Context>(b, n, sha1_init, sha1_update,
                                  [&](Sha1Context* c) { sha1_final(d, c); });
       },
       [](const std::string& p) { return through_driver(p, &DigestRequest::sha1); }},
      {"sha256", DigestAlgorithm::kSha256,
       [](const unsigned char* b, std::size_t n) {
         unsigned char d[32];
         one_message<Sha256Context>(b, n, sha256_init, sha256_update,
                                    [&](Sha256Context* c) { sha256_final(d, c); });
       },
       [](const std::string& p) { return through_driver(p, &DigestRequest::sha256); }},
      {"sha384", DigestAlgorithm::kSha512,
       [](const unsigned char* b, std::size_t n) {
         unsigned char d[48];
         one_message<Sha512Context>(b, n, sha384_init, sha512_update,
                                    [&](Sha512Context* c) { sha384_final(d, c); });
       },
       [](const std::string& p) { return through_driver(p, &DigestRequest::sha384); }},
      {"sha512", DigestAlgorithm::kSha512,
       [](const unsigned char* b, std::size_t n) {
         unsigned char d[64];
         one_message<Sha512Context>(b, n, sha512_init, sha512_update,
                                    [&](Sha512Context* c) { sha512_final(d, c); });
       },
       [](const std::string& p) { return through_driver(p, &DigestRequest::sha512); }},
      {"crc32", DigestAlgorithm::kCrc32,
       [](const unsigned char* b, std::size_t n) {
         std::uint32_t crc = kCrc32Initial;
         for (std::size_t i = 0; i < n; ++i) crc = crc32_update(crc, b, kBlock);
         volatile std::uint32_t sink = crc;
         (void)sink;
       },
       [](const std::string& p) { return through_driver(p, &DigestRequest::crc32); }},
  };
}

// Megabytes (10^6 bytes, as openssl counts) per second of `work` over `bytes_per_call`.
double one_run(const std::function<void()>& work, double bytes_per_call) {
  std::size_t calls = 0;
  std::clock_t start = std::clock();
  double elapsed = 0;
  do {
    work();
    ++calls;
    elapsed = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  } while (elapsed < kSeconds);
  return calls * bytes_per_call / elapsed / 1e6;
}

double megabytes_per_second(const std::function<void()>& work, double bytes_per_call) {
  work();  // warm caches and the processor's clock
  double best = 0;
  for (int i = 0; i < kRuns; ++i) best = std::max(best, one_run(work, bytes_per_call));
  return best;
}

// The openssl figure in 10^6 bytes per second, or 0 when openssl is absent or says nothing.
double openssl_run(const char* name) {
  std::string command =
      std::string("openssl speed -evp ") + name + " -bytes 65536 -seconds 1 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return 0;
  char line[512];
  double figure = 0;
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char label[64];
    double thousands = 0;
    // The result line is the algorithm's name and one figure in thousands of bytes a second.
    if (std::sscanf(line, "%63s %lfk", label, &thousands) == 2 && std::strcmp(label, name) == 0) {
      figure = thousands / 1000.0;
    }
  }
  pclose(pipe);
  return figure;
}

double openssl_figure(const char* name) {
  double best = 0;
  for (int i = 0; i < kOpensslRuns; ++i) best = std::max(best, openssl_run(name));
  return best;
}

void bench_kernels(const Algorithm& a, const std::vector<unsigned char>& buffer) {
  constexpr std::size_t kBlocksPerMessage = 16;
  for (const std::string& kernel : available_kernels(a.kernels)) {
    use_kernel(a.kernels, kernel);
    double rate = megabytes_per_second([&] { a.run(buffer.data(), kBlocksPerMessage); },
                                       static_cast<double>(kBlock * kBlocksPerMessage));
    std::printf("%-8s %-10s memory  %9.1f MB/s\n", a.name, kernel.c_str(), rate);
  }
  use_best_kernels();
}

void bench_driver(const Algorithm& a, const std::string& path, std::size_t file_size) {
  std::string text = a.driver(path);
  bool hex = !text.empty() && text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
  if (!hex) {
    std::printf("%-8s %-10s file    (the driver could not read the file: \"%s\")\n", a.name,
                kernel_in_use(a.kernels).c_str(), text.c_str());
    return;
  }
  double rate = megabytes_per_second([&] { a.driver(path); }, static_cast<double>(file_size));
  std::printf("%-8s %-10s file    %9.1f MB/s\n", a.name, kernel_in_use(a.kernels).c_str(), rate);
}

void bench_openssl(const Algorithm& a, const std::vector<unsigned char>& buffer) {
  if (a.kernels == DigestAlgorithm::kCrc32) return;
  double theirs = openssl_figure(a.name);
  if (theirs <= 0) {
    std::printf("%-8s openssl    (not available)\n", a.name);
    return;
  }
  double ours = megabytes_per_second([&] { a.run(buffer.data(), 16); }, kBlock * 16.0);
  std::printf("%-8s openssl    memory  %9.1f MB/s   ours %9.1f MB/s   ratio %.2f\n", a.name, theirs,
              ours, ours / theirs);
}

std::string write_bench_file(std::size_t size) {
  std::string path = (std::filesystem::temp_directory_path() / "tallysum-bench.bin").string();
  std::vector<char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
  return path;
}

}  // namespace

// With arguments, measures only the digests they name (md5, sha1, sha256, sha384, sha512, crc32).
int main(int argc, char** argv) {
  std::vector<std::string> wanted(argv + 1, argv + argc);
  std::vector<unsigned char> buffer(kBlock);
  for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<unsigned char>(i * 131);
  constexpr std::size_t kFileSize = 64u << 20;
  std::string path = write_bench_file(kFileSize);

  std::printf("digest   kernel     input   throughput (10^6 bytes per second)\n");
  for (const Algorithm& a : algorithms()) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), a.name) == wanted.end())
      continue;
    bench_kernels(a, buffer);
    bench_driver(a, path, kFileSize);
    bench_openssl(a, buffer);
  }
  std::filesystem::remove(path);
  return 0;
}
