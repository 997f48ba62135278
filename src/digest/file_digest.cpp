#include "digest/file_digest.h"

#include <cstdio>
#include <new>

#include "digest/block_buffer.h"
#include "digest/crc32.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"
#include "driver/termination.h"
#include "output/destinations.h"

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

namespace {

constexpr std::size_t kReadSize = 65536;
constexpr std::size_t kCrc32ReadSize = 60000;
constexpr std::uint64_t kToTheEnd = ~std::uint64_t{0};

// Module names that the memory messages print.
const char kModuleMd5File[] = "Md5func7";
const char kModuleMd5Range[] = "Md5_end";
const char kModuleCrc32[] = "Crc_stuf7";

// How a driver makes its first open, before the shared fallback.
enum class OpenRule { kRetryOem, kAnsiOnly, kOemFirst };

enum class ReadOutcome { kComplete, kFailed, kInterrupted, kNotOpened };

template <typename Context, std::size_t kBufferSize>
struct Storage {
  Context ctx;
  unsigned char buffer[kBufferSize];
};

using Md5Storage = Storage<Md5Context, kReadSize>;
using Sha1Storage = Storage<Sha1Context, kReadSize>;
using Sha256Storage = Storage<Sha256Context, kReadSize>;
using Sha512Storage = Storage<Sha512Context, kReadSize>;
using Crc32Storage = Storage<std::uint32_t, kCrc32ReadSize>;

// Obtained on first use, kept to the end of the process. The two MD5 drivers keep their own.
Md5Storage* md5_file_storage = nullptr;
Md5Storage* md5_range_storage = nullptr;
Sha1Storage* sha1_storage = nullptr;
Crc32Storage* crc32_storage = nullptr;
Sha256Storage* sha256_storage = nullptr;
Sha512Storage* sha384_storage = nullptr;
Sha512Storage* sha512_storage = nullptr;

template <typename T>
T* obtain(T*& slot) {
  if (slot == nullptr) slot = new (std::nothrow) T;
  return slot;
}

InputHandle open_by_rule(const std::string& name, OpenRule rule) {
  InputHandle input = nullptr;
  switch (rule) {
    case OpenRule::kRetryOem:
      input = open_for_digest(name);
      break;
    case OpenRule::kAnsiOnly:
      os().set_file_apis_ansi();
      input = os().open_input(name);
      break;
    case OpenRule::kOemFirst:
      os().set_file_apis_oem();
      input = open_for_digest(name);
      break;
  }
  // A file another process holds open for writing refuses the normal open.
  if (input == nullptr) input = os().open_input_shared(name);
  return input;
}

// Feeds the bytes from `start` up to `end` (or the end of the file) to `feed`, at most
// `read_size` at a time.
template <typename Feed>
ReadOutcome feed_range(InputHandle input, std::uint64_t start, std::uint64_t end,
                       unsigned char* buffer, std::size_t read_size, Feed feed) {
  if (start >= end) return ReadOutcome::kComplete;
  // A position the system refuses would have the digest start at the wrong byte.
  if (start != 0 && !os().seek_input(input, start)) return ReadOutcome::kFailed;
  for (std::uint64_t position = start; position < end;) {
    if (os().interrupt_pending()) return ReadOutcome::kInterrupted;
    std::uint64_t left = end - position;
    std::size_t count = left < read_size ? static_cast<std::size_t>(left) : read_size;
    bool failed = false;
    std::size_t got = read_chunk(input, buffer, count, &failed);
    if (failed) {
      // A read cut short by Ctrl-C is no fault of the disk: say nothing about it.
      return os().interrupt_pending() ? ReadOutcome::kInterrupted : ReadOutcome::kFailed;
    }
    if (got == 0) break;
    feed(buffer, got);
    position += got;
  }
  return ReadOutcome::kComplete;
}

// Opens, reads and closes; the outcome says whether the digest covers what was asked for.
template <typename Feed>
ReadOutcome digest_input(const std::string& name, OpenRule rule, std::uint64_t start,
                         std::uint64_t end, unsigned char* buffer, std::size_t read_size,
                         Feed feed) {
  InputHandle input = open_by_rule(name, rule);
  if (input == nullptr) return ReadOutcome::kNotOpened;
  ReadOutcome outcome = feed_range(input, start, end, buffer, read_size, feed);
  os().close_input(input);
  if (outcome == ReadOutcome::kFailed) {
    std::fprintf(message_stream, "Read error, digest not computed: %s\n", name.c_str());
  }
  return outcome;
}

std::string md5_driver(const std::string& name, std::uint64_t start, std::uint64_t end,
                       Md5Storage*& slot, const char* module, int line) {
  Md5Storage* storage = obtain(slot);
  if (storage == nullptr) {
    std::fprintf(message_stream, "\n%s\n%d\nCouldn't create MD5 hash input buffer\n", module, line);
    return std::string();
  }
  Md5Context* ctx = &storage->ctx;
  md5_init(ctx);
  ReadOutcome outcome =
      digest_input(name, OpenRule::kRetryOem, start, end, storage->buffer, kReadSize,
                   [ctx](const unsigned char* bytes, std::size_t n) { md5_update(ctx, bytes, n); });
  if (outcome != ReadOutcome::kComplete) return kMd5Marker;
  md5_final(ctx);
  char text[2 * kMd5DigestSize + 1];
  render_hex(ctx->digest, kMd5DigestSize, text);
  return text;
}

// The three SHA-2 drivers differ only in init, final and marker.
template <typename Storage, typename Init, typename Update, typename End>
std::string sha2_driver(const std::string& name, std::uint64_t start, Storage*& slot,
                        const char* marker, Init init, Update update, End end) {
  Storage* storage = obtain(slot);
  if (storage == nullptr) return std::string();
  auto* ctx = &storage->ctx;
  init(ctx);
  ReadOutcome outcome = digest_input(
      name, OpenRule::kRetryOem, start, kToTheEnd, storage->buffer, kReadSize,
      [ctx, update](const unsigned char* bytes, std::size_t n) { update(ctx, bytes, n); });
  if (outcome != ReadOutcome::kComplete) return marker;
  // The input buffer is free once the last read is done: the text goes there.
  char* text = reinterpret_cast<char*>(storage->buffer);
  end(ctx, text);
  return text;
}

}  // namespace

InputHandle open_for_digest(const std::string& name) {
  bool was_ansi = os().file_apis_are_ansi();
  if (!was_ansi) os().set_file_apis_ansi();
  InputHandle input = os().open_input(name);
  if (input != nullptr) return input;
  os().set_file_apis_oem();
  input = os().open_input(name);
  if (was_ansi) os().set_file_apis_ansi();
  return input;
}

std::size_t read_chunk(InputHandle input, void* buffer, std::size_t count, bool* failed) {
  long long got = os().read_input(input, buffer, count);
  if (got < 0) {
    if (failed != nullptr) *failed = true;
    return 0;
  }
  return static_cast<std::size_t>(got);
}

std::string md5_file(const std::string& name, std::uint64_t start) {
  return md5_driver(name, start, kToTheEnd, md5_file_storage, kModuleMd5File, __LINE__);
}

std::string md5_file_range(const std::string& name, std::uint64_t start, std::uint64_t end) {
  std::uint64_t last = end == 0 ? kToTheEnd : end;
  return md5_driver(name, start, last, md5_range_storage, kModuleMd5Range, __LINE__);
}

std::string sha1_file(const std::string& name, std::uint64_t start) {
  Sha1Storage* storage = obtain(sha1_storage);
  if (storage == nullptr) {
    std::fprintf(message_stream, "Memory allocation error\n");
    return std::string();
  }
  Sha1Context* ctx = &storage->ctx;
  sha1_init(ctx);
  ReadOutcome outcome = digest_input(
      name, OpenRule::kAnsiOnly, start, kToTheEnd, storage->buffer, kReadSize,
      [ctx](const unsigned char* bytes, std::size_t n) { sha1_update(ctx, bytes, n); });
  if (outcome != ReadOutcome::kComplete) return kSha1Marker;
  unsigned char digest[kSha1DigestSize];
  sha1_final(digest, ctx);
  char text[2 * kSha1DigestSize + 1];
  render_hex(digest, kSha1DigestSize, text);
  return text;
}

std::string crc32_file(const std::string& name, std::uint32_t* crc_out, std::uint64_t start) {
  Crc32Storage* storage = obtain(crc32_storage);
  if (storage == nullptr) {
    std::fprintf(message_stream, "\n%s\n%d\nCRC can't get memory\n", kModuleCrc32, __LINE__);
    terminate_run(6);
  }
  std::uint32_t* crc = &storage->ctx;
  *crc = kCrc32Initial;
  ReadOutcome outcome = digest_input(
      name, OpenRule::kOemFirst, start, kToTheEnd, storage->buffer, kCrc32ReadSize,
      [crc](const unsigned char* bytes, std::size_t n) { *crc = crc32_update(*crc, bytes, n); });
  if (outcome != ReadOutcome::kComplete) return kCrc32Marker;
  std::uint32_t value = ~*crc;
  if (crc_out != nullptr) *crc_out = value;
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

std::string sha256_file(const std::string& name, std::uint64_t start) {
  return sha2_driver(name, start, sha256_storage, kSha256Marker, sha256_init, sha256_update,
                     sha256_end);
}

std::string sha384_file(const std::string& name, std::uint64_t start) {
  return sha2_driver(name, start, sha384_storage, kSha384Marker, sha384_init, sha512_update,
                     sha384_end);
}

std::string sha512_file(const std::string& name, std::uint64_t start) {
  return sha2_driver(name, start, sha512_storage, kSha512Marker, sha512_init, sha512_update,
                     sha512_end);
}
