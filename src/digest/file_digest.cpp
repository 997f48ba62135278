#include "digest/file_digest.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "digest/block_buffer.h"
#include "digest/split_pass.h"
#include "run/run_state.h"

namespace {

constexpr std::size_t kReadSize = 1 << 16;
constexpr std::uint64_t kToTheEnd = ~std::uint64_t{0};

enum class PassOutcome { kComplete, kFailed, kInterrupted, kShort };

// Each thread reads into its own buffer, obtained once and kept.
unsigned char* read_buffer() {
  thread_local std::unique_ptr<unsigned char[]> buffer(new unsigned char[kReadSize]);
  return buffer.get();
}

// Indexed by DigestKind.
constexpr bool DigestRequest::*kChosen[kDigestKindCount] = {
    &DigestRequest::md5,    &DigestRequest::sha1,   &DigestRequest::crc32,
    &DigestRequest::sha256, &DigestRequest::sha384, &DigestRequest::sha512};
constexpr std::string DigestTexts::*kTexts[kDigestKindCount] = {
    &DigestTexts::md5,    &DigestTexts::sha1,   &DigestTexts::crc32,
    &DigestTexts::sha256, &DigestTexts::sha384, &DigestTexts::sha512};

// How many of the `n` bytes at file offset `at` go to `kind`: MD5 stops at its end offset.
std::size_t share_of(const DigestRequest& request, DigestKind kind, std::uint64_t at,
                     std::size_t n) {
  if (kind != DigestKind::kMd5 || request.md5_end == 0) return n;
  if (at >= request.md5_end) return 0;
  return static_cast<std::size_t>(std::min<std::uint64_t>(request.md5_end - at, n));
}

void update_all(DigestSet* set, std::uint64_t at, const unsigned char* bytes, std::size_t n) {
  for (std::size_t i = 0; i < set->count; ++i) {
    const DigestKind kind = set->kinds[i];
    const std::size_t share = share_of(set->request, kind, at, n);
    if (share != 0) digest_kind(kind).update(&set->contexts[i], bytes, share);
  }
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
    if (os().interrupt_pending()) return PassOutcome::kInterrupted;
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

bool wants(const DigestRequest& request, DigestKind kind) {
  return request.*kChosen[static_cast<std::size_t>(kind)];
}

std::string& text_of(DigestTexts& texts, DigestKind kind) {
  return texts.*kTexts[static_cast<std::size_t>(kind)];
}

const std::string& text_of(const DigestTexts& texts, DigestKind kind) {
  return texts.*kTexts[static_cast<std::size_t>(kind)];
}

DigestRequest one_kind_of(const DigestRequest& request, DigestKind kind) {
  DigestRequest one = request;
  for (bool DigestRequest::*chosen : kChosen) one.*chosen = false;
  one.*kChosen[static_cast<std::size_t>(kind)] = true;
  return one;
}

std::size_t kind_count(const DigestRequest& request) {
  return static_cast<std::size_t>(
      std::count_if(std::begin(kChosen), std::end(kChosen),
                    [&](bool DigestRequest::*chosen) { return request.*chosen; }));
}

void start_digests(DigestSet* set, const DigestRequest& request) {
  set->request = request;
  set->position = request.start;
  set->count = 0;
  set->held = 0;
  for (DigestKind kind : kAllDigestKinds) {
    if (!wants(request, kind)) continue;
    set->kinds[set->count] = kind;
    digest_kind(kind).init(&set->contexts[set->count]);
    set->count += 1;
  }
}

void feed_digests(DigestSet* set, const unsigned char* bytes, std::size_t n) {
  if (n == 0) return;
  if (set->held != 0) {
    update_all(set, set->position - set->held, set->hold, set->held);
    set->held = 0;
  }
  if (n <= sizeof set->hold) {
    // Perhaps the last piece: kept for finish_digests, which sends it with the padding.
    std::memcpy(set->hold, bytes, n);
    set->held = n;
  } else {
    update_all(set, set->position, bytes, n);
  }
  set->position += n;
}

void finish_digests(DigestSet* set, DigestTexts* texts) {
  const std::uint64_t at = set->position - set->held;
  for (std::size_t i = 0; i < set->count; ++i) {
    const DigestKind kind = set->kinds[i];
    const DigestKindInfo& info = digest_kind(kind);
    unsigned char digest[kLongestDigest];
    info.finish(&set->contexts[i], set->hold, share_of(set->request, kind, at, set->held), digest);
    std::string& text = text_of(*texts, kind);
    text.resize(2 * info.size);
    // The string's own end mark takes render_hex's closing NUL.
    render_hex(digest, info.size, text.data());
  }
  set->held = 0;
}

void mark_digests(const DigestRequest& request, DigestTexts* texts) {
  *texts = DigestTexts{};
  for (DigestKind kind : kAllDigestKinds) {
    if (wants(request, kind)) text_of(*texts, kind) = digest_kind(kind).marker;
  }
}

std::uint64_t pass_limit(const DigestRequest& request) {
  if (request.md5 && request.md5_end != 0 && kind_count(request) == 1) return request.md5_end;
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
