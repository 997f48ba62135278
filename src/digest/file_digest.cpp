#include "digest/file_digest.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "digest/block_buffer.h"
#include "digest/split_pass.h"
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

enum class PassOutcome { kComplete, kFailed, kInterrupted };

struct Pass {
  PassOutcome outcome = PassOutcome::kComplete;
  // The whole file came in one read that asked for more and brought exactly its size: no
  // byte can have been added or lost unseen since its facts were taken.
  bool settled = false;
};

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

PassOutcome failed_read() {
  return os().interrupt_pending() ? PassOutcome::kInterrupted : PassOutcome::kFailed;
}

// Reads from the start offset up to `limit`, or until the input ends, feeding `set`. A
// regular file's `size` (kToTheEnd: none) ends the reading once a read reaches it, without a
// further call: a file that grew meanwhile shows in its facts afterwards. A size says nothing
// about content on its own (a file of the system's own making reports 0 and has bytes), so a
// read below it goes on until the input ends.
Pass read_pass(InputHandle input, DigestSet* set, std::uint64_t limit, std::uint64_t size) {
  const std::uint64_t start = set->request.start;
  if (start >= limit) return Pass{};
  // A position the system refuses would have the digest start at the wrong byte.
  if (start != 0 && !os().seek_input(input, start)) return Pass{PassOutcome::kFailed};
  const std::uint64_t end = std::min(limit, size);
  if (end > start && worth_splitting(set->request, end - start, set->request.helpers)) {
    SplitRead read = split_read(input, set, end - start, *set->request.helpers);
    if (read.interrupted) return Pass{PassOutcome::kInterrupted};
    return Pass{read.failed ? PassOutcome::kFailed : PassOutcome::kComplete};
  }
  unsigned char* buffer = read_buffer();
  Pass pass;
  std::uint64_t position = start;
  for (int reads = 1; position < limit; ++reads) {
    if (os().interrupt_pending()) return Pass{PassOutcome::kInterrupted};
    std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(limit - position, kReadSize));
    bool failed = false;
    std::size_t got = read_chunk(input, buffer, count, &failed);
    if (failed) return Pass{failed_read()};
    if (got == 0) break;
    feed_digests(set, buffer, got);
    position += got;
    if (position == size) {
      pass.settled = reads == 1 && got < count;
      break;
    }
  }
  return pass;
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
  }
  return DigestOutcome::kReadFailed;
}

InputAccess access_for(const DigestRequest& request) {
  return request.reset_times ? InputAccess::kReadAndRestoreTimes : InputAccess::kRead;
}

bool nothing_to_read(const DigestRequest& r) {
  return !(r.md5 || r.sha1 || r.crc32 || r.sha256 || r.sha384 || r.sha512);
}

// The gate's word on `facts`, as the outcome of a file that is not to be read; kDone when it
// is.
DigestOutcome admitted(const FileGate& gate, const DirEntry& facts) {
  switch (gate ? gate(facts) : Admission::kRead) {
    case Admission::kRead:
      return DigestOutcome::kDone;
    case Admission::kReject:
      return DigestOutcome::kRejected;
    case Admission::kPutBack:
      return DigestOutcome::kPutBack;
  }
  return DigestOutcome::kDone;
}

// Facts from the open file or a look-up carry the name the walk found the file by.
void name_as_listed(const DirEntry& listed, DirEntry* facts) {
  facts->name = listed.name;
  facts->short_name = listed.short_name;
}

// A file that is not opened, because nothing is to be read of it or because it cannot be: its
// facts come from one look-up, and `unread` is its outcome when the gate lets it through.
DigestOutcome looked_up(const Directory& dir, const DirEntry& listed, const FileGate& gate,
                        DigestOutcome unread, DirEntry* facts) {
  switch (os().entry_facts(dir, listed.name, facts)) {
    case Lookup::kFound:
      break;
    case Lookup::kGone:
      return DigestOutcome::kGone;
    case Lookup::kUnreadable:
      return DigestOutcome::kUnreadable;
  }
  // A directory put in its place since it was listed is no file of the catalogue.
  if ((facts->attributes & kAttrDirectory) != 0) return DigestOutcome::kGone;
  name_as_listed(listed, facts);
  DigestOutcome admission = admitted(gate, *facts);
  return admission == DigestOutcome::kDone ? unread : admission;
}

// Whether the open file still has the size and last-write time it was reached with.
bool still_as_reached(InputHandle input, const DirEntry& reached) {
  DirEntry now;
  return os().input_facts(input, &now) && same_file_state(reached, now);
}

// One open and one reading of a file, its facts taken from the open file before a byte is
// read. The stamps go back through the same handle, and only over a file that did not change.
DigestOutcome one_reading(const Directory& dir, const DirEntry& listed,
                          const DigestRequest& request, const FileGate& gate,
                          DigestResult* result) {
  InputHandle input = open_for_digest(dir, listed.name, access_for(request));
  if (input == nullptr) {
    return looked_up(dir, listed, gate, DigestOutcome::kNotOpened, &result->facts);
  }
  DirEntry& facts = result->facts;
  DigestOutcome outcome = DigestOutcome::kGone;  // no regular file, or not any more
  if (os().input_facts(input, &facts)) {
    name_as_listed(listed, &facts);
    outcome = admitted(gate, facts);
  }
  if (outcome != DigestOutcome::kDone) {
    os().close_input(input);
    return outcome;
  }
  DigestSet set;
  start_digests(&set, request);
  Pass pass = read_pass(input, &set, pass_limit(request), static_cast<std::uint64_t>(facts.size));
  outcome = outcome_of(pass.outcome);
  if (outcome != DigestOutcome::kInterrupted) {
    bool unchanged = (pass.settled && !request.reset_times) || still_as_reached(input, facts);
    if (outcome == DigestOutcome::kDone && !unchanged) outcome = DigestOutcome::kChanged;
    if (request.reset_times) {
      result->reset_failed = !(unchanged && os().set_input_times(input, facts));
    }
  }
  os().close_input(input);
  if (outcome == DigestOutcome::kDone) finish_digests(&set, &result->texts);
  return outcome;
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

InputHandle open_for_digest(const Directory& dir, const std::string& name, InputAccess access) {
  bool was_ansi = os().file_apis_are_ansi();
  if (!was_ansi) os().set_file_apis_ansi();
  InputHandle input = os().open_file(dir, name, access, nullptr);
  if (input != nullptr) return input;
  os().set_file_apis_oem();
  input = os().open_file(dir, name, access, nullptr);
  if (was_ansi) os().set_file_apis_ansi();
  // A file another process holds open for writing refuses the normal open.
  if (input == nullptr) input = os().open_file_shared(dir, name, access, nullptr);
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

DigestResult digest_file(const Directory& dir, const DirEntry& listed, const DigestRequest& request,
                         const FileGate& gate) {
  DigestResult result;
  if (nothing_to_read(request)) {
    result.outcome = looked_up(dir, listed, gate, DigestOutcome::kDone, &result.facts);
    return result;
  }
  result.outcome = one_reading(dir, listed, request, gate, &result);
  if (result.outcome == DigestOutcome::kChanged) {
    // Read once more from what the file is now; a second change means it is being written.
    result = DigestResult{};
    result.outcome = one_reading(dir, listed, request, gate, &result);
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
    const bool known = os().input_facts(input, &result.facts);
    if (!known) result.facts = DirEntry{};
    DigestSet set;
    start_digests(&set, request);
    PassOutcome pass = read_pass(input, &set, pass_limit(request), kToTheEnd).outcome;
    // Stamps that could not be taken are never written back.
    if (request.reset_times && pass != PassOutcome::kInterrupted) {
      result.reset_failed = !(known && os().set_input_times(input, result.facts));
    }
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
  return whole_pass(os().open_stream(dir, carrier, stream, access_for(request)), request);
}

DigestResult digest_path(const std::string& path, const DigestRequest& request) {
  return whole_pass(os().open_path(path), request);
}
