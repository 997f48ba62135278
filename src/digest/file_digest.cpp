#include "digest/file_digest.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "digest/block_buffer.h"
#include "digest/split_pass.h"
#include "digest/work_pool.h"
#include "run/run_state.h"

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

constexpr std::size_t kReadSize = 1 << 16;
constexpr std::uint64_t kToTheEnd = ~std::uint64_t{0};

enum class PassOutcome { kComplete, kFailed, kInterrupted, kShort };

// Each thread reads into its own buffer, obtained once and kept.
unsigned char* read_buffer() {
  thread_local std::unique_ptr<unsigned char[]> buffer(new unsigned char[kReadSize]);
  return buffer.get();
}

std::string hex_text(const unsigned char* digest, std::size_t n) {
  char text[2 * 64 + 1];
  render_hex(digest, n, text);
  return text;
}

// The run is ending: a worker stops reading so that it is not ended in the midst of a read.
bool helpers_stopping(const DigestRequest& request) {
  return request.helpers != nullptr && request.helpers->stopping();
}

// Reads from `start` up to `limit` (or the end), feeding `set`. `expected` is how many bytes
// the file's size promises; reaching it ends the pass without a further read, and a pass that
// ends short of it reports kShort.
PassOutcome read_pass(InputHandle input, DigestSet* set, std::uint64_t limit,
                      std::uint64_t expected) {
  const std::uint64_t start = set->request.start;
  if (start >= limit) return expected == 0 ? PassOutcome::kComplete : PassOutcome::kShort;
  // A position the system refuses would have the digest start at the wrong byte.
  if (start != 0 && !os().seek_input(input, start)) return PassOutcome::kFailed;
  if (expected != kToTheEnd && worth_splitting(set->request, expected, set->request.helpers)) {
    SplitRead read = split_read(input, set, expected, *set->request.helpers);
    if (read.interrupted) return PassOutcome::kInterrupted;
    if (read.failed) return PassOutcome::kFailed;
    return read.fed == expected ? PassOutcome::kComplete : PassOutcome::kShort;
  }
  unsigned char* buffer = read_buffer();
  std::uint64_t done = 0;
  while (done < expected || expected == kToTheEnd) {
    if (os().interrupt_pending() || helpers_stopping(set->request)) {
      return PassOutcome::kInterrupted;
    }
    std::uint64_t left = limit - (start + done);
    if (left == 0) break;
    std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, kReadSize));
    bool failed = false;
    std::size_t got = read_chunk(input, buffer, count, &failed);
    if (failed) {
      return os().interrupt_pending() ? PassOutcome::kInterrupted : PassOutcome::kFailed;
    }
    if (got == 0) break;
    feed_digests(set, buffer, got);
    done += got;
  }
  return expected != kToTheEnd && done != expected ? PassOutcome::kShort : PassOutcome::kComplete;
}

// The bytes a pass over a file of `size` bytes must deliver.
std::uint64_t expected_bytes(const DigestRequest& request, std::int64_t size) {
  std::uint64_t end =
      std::min<std::uint64_t>(pass_limit(request), static_cast<std::uint64_t>(size));
  return request.start < end ? end - request.start : 0;
}

bool same_file_state(const DirEntry& before, const DirEntry& after) {
  return before.size == after.size && before.last_write == after.last_write &&
         before.last_write_ns == after.last_write_ns;
}

DigestOutcome outcome_of(PassOutcome pass) {
  switch (pass) {
    case PassOutcome::kComplete:
      return DigestOutcome::kDone;
    case PassOutcome::kFailed:
      return DigestOutcome::kReadFailed;
    case PassOutcome::kInterrupted:
      return DigestOutcome::kInterrupted;
    case PassOutcome::kShort:
      return DigestOutcome::kChanged;
  }
  return DigestOutcome::kReadFailed;
}

// One open and one read of a file. `base` holds the facts the pass starts from; without them
// (a second reading) they are taken from the open file itself.
DigestOutcome one_reading(const Directory& dir, const std::string& name,
                          const DigestRequest& request, bool have_base, DirEntry* base,
                          DigestTexts* texts) {
  InputHandle input = open_for_digest(dir, name);
  if (input == nullptr) return DigestOutcome::kNotOpened;
  if (!have_base && !os().input_facts(input, base)) {
    os().close_input(input);
    return DigestOutcome::kChanged;
  }
  DigestSet set;
  start_digests(&set, request);
  PassOutcome pass =
      read_pass(input, &set, pass_limit(request), expected_bytes(request, base->size));
  DirEntry after;
  bool still = os().input_facts(input, &after);
  os().close_input(input);
  if (pass == PassOutcome::kComplete && !(still && same_file_state(*base, after))) {
    pass = PassOutcome::kShort;
  }
  if (pass == PassOutcome::kComplete) finish_digests(&set, texts);
  return outcome_of(pass);
}

}  // namespace

void start_digests(DigestSet* set, const DigestRequest& request) {
  set->request = request;
  set->position = request.start;
  if (request.md5) md5_init(&set->md5);
  if (request.sha1) sha1_init(&set->sha1);
  set->crc = kCrc32Initial;
  if (request.sha256) sha256_init(&set->sha256);
  if (request.sha384) sha384_init(&set->sha384);
  if (request.sha512) sha512_init(&set->sha512);
}

void feed_digests(DigestSet* set, const unsigned char* bytes, std::size_t n) {
  const DigestRequest& r = set->request;
  if (r.md5) {
    std::uint64_t end = r.md5_end == 0 ? kToTheEnd : r.md5_end;
    if (set->position < end) {
      std::uint64_t room = end - set->position;
      md5_update(&set->md5, bytes, static_cast<std::size_t>(std::min<std::uint64_t>(room, n)));
    }
  }
  if (r.sha1) sha1_update(&set->sha1, bytes, n);
  if (r.crc32) set->crc = crc32_update(set->crc, bytes, n);
  if (r.sha256) sha256_update(&set->sha256, bytes, n);
  if (r.sha384) sha512_update(&set->sha384, bytes, n);
  if (r.sha512) sha512_update(&set->sha512, bytes, n);
  set->position += n;
}

void finish_digests(DigestSet* set, DigestTexts* texts) {
  const DigestRequest& r = set->request;
  if (r.md5) {
    md5_final(&set->md5);
    texts->md5 = hex_text(set->md5.digest, kMd5DigestSize);
  }
  if (r.sha1) {
    unsigned char digest[kSha1DigestSize];
    sha1_final(digest, &set->sha1);
    texts->sha1 = hex_text(digest, kSha1DigestSize);
  }
  if (r.crc32) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(~set->crc));
    texts->crc32 = text;
  }
  char text[2 * kSha512DigestSize + 1];
  if (r.sha256) {
    sha256_end(&set->sha256, text);
    texts->sha256 = text;
  }
  if (r.sha384) {
    sha384_end(&set->sha384, text);
    texts->sha384 = text;
  }
  if (r.sha512) {
    sha512_end(&set->sha512, text);
    texts->sha512 = text;
  }
}

void mark_digests(const DigestRequest& request, DigestTexts* texts) {
  *texts = DigestTexts{};
  if (request.md5) texts->md5 = kMd5Marker;
  if (request.sha1) texts->sha1 = kSha1Marker;
  if (request.crc32) texts->crc32 = kCrc32Marker;
  if (request.sha256) texts->sha256 = kSha256Marker;
  if (request.sha384) texts->sha384 = kSha384Marker;
  if (request.sha512) texts->sha512 = kSha512Marker;
}

std::uint64_t pass_limit(const DigestRequest& request) {
  bool others = request.sha1 || request.crc32 || request.sha256 || request.sha384 || request.sha512;
  if (request.md5 && request.md5_end != 0 && !others) return request.md5_end;
  return kToTheEnd;
}

InputHandle open_for_digest(const Directory& dir, const std::string& name) {
  bool was_ansi = os().file_apis_are_ansi();
  if (!was_ansi) os().set_file_apis_ansi();
  InputHandle input = os().open_file(dir, name, nullptr);
  if (input != nullptr) return input;
  os().set_file_apis_oem();
  input = os().open_file(dir, name, nullptr);
  if (was_ansi) os().set_file_apis_ansi();
  // A file another process holds open for writing refuses the normal open.
  if (input == nullptr) input = os().open_file_shared(dir, name, nullptr);
  return input;
}

std::size_t read_chunk(InputHandle input, void* buffer, std::size_t count, bool* failed) {
  long long got = os().read_input(input, buffer, count);
  if (got < 0) {
    *failed = true;
    return 0;
  }
  return static_cast<std::size_t>(got);
}

DigestResult digest_file(const Directory& dir, const DirEntry& listed,
                         const DigestRequest& request) {
  DigestResult result;
  result.facts = listed;
  result.outcome = one_reading(dir, listed.name, request, true, &result.facts, &result.texts);
  if (result.outcome == DigestOutcome::kChanged) {
    // Read once more from what the file is now; a second change means it is being written.
    DirEntry fresh = listed;
    result.outcome = one_reading(dir, listed.name, request, false, &fresh, &result.texts);
    if (result.outcome == DigestOutcome::kDone) result.facts = fresh;
  }
  // A file that cannot be opened because it is gone is no file of the catalogue any more.
  DirEntry now;
  if (result.outcome == DigestOutcome::kNotOpened && !os().entry_facts(dir, listed.name, &now)) {
    result.outcome = DigestOutcome::kGone;
  }
  if (result.outcome != DigestOutcome::kDone) mark_digests(request, &result.texts);
  return result;
}

namespace {

// The whole of an input read once, whatever opened it; nullptr is an input that could not be
// opened. Streams and named paths are read whole: nothing checks them for change.
DigestResult whole_pass(InputHandle input, const DigestRequest& request) {
  DigestResult result;
  if (input == nullptr) {
    result.outcome = DigestOutcome::kNotOpened;
  } else {
    DigestSet set;
    start_digests(&set, request);
    PassOutcome pass = read_pass(input, &set, pass_limit(request), kToTheEnd);
    if (!os().input_facts(input, &result.facts)) result.facts = DirEntry{};
    os().close_input(input);
    result.outcome = outcome_of(pass);
    if (pass == PassOutcome::kComplete) finish_digests(&set, &result.texts);
  }
  if (result.outcome != DigestOutcome::kDone) mark_digests(request, &result.texts);
  return result;
}

}  // namespace

DigestResult digest_stream(const Directory& dir, const std::string& carrier,
                           const std::string& stream, const DigestRequest& request) {
  return whole_pass(os().open_stream(dir, carrier, stream), request);
}

DigestResult digest_path(const std::string& path, const DigestRequest& request) {
  return whole_pass(os().open_path(path), request);
}
