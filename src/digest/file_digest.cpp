#include "digest/file_digest.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "digest/block_buffer.h"
#include "digest/split_pass.h"
#include "digest/work_pool.h"
#include "run/run_state.h"

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

PassOutcome failed_read() {
  return os().interrupt_pending() ? PassOutcome::kInterrupted : PassOutcome::kFailed;
}

// The run is ending: a worker stops reading so that it is not ended in the midst of a read.
bool helpers_stopping(const DigestRequest& request) {
  return request.helpers != nullptr && request.helpers->stopping();
}

// Reads from the start offset up to `limit`, or until the input ends, feeding `set`. A
// regular file's `size` (kToTheEnd: none) ends the reading once a read reaches it, without a
// further call: a file that grew meanwhile shows in its facts afterwards. A size says nothing
// about content on its own (a file of the system's own making reports 0 and has bytes), so a
// read below it goes on until the input ends. `ahead` (null: none) is the first read, done
// already, at the start offset.
Pass read_pass(InputHandle input, DigestSet* set, std::uint64_t limit, std::uint64_t size,
               const FirstPiece* ahead = nullptr) {
  const std::uint64_t start = set->request.start;
  if (start >= limit) return Pass{};
  if (ahead == nullptr && start != 0 && !os().seek_input(input, start)) {
    // A position the system refuses would have the digest start at the wrong byte.
    return Pass{PassOutcome::kFailed};
  }
  const std::uint64_t end = std::min(limit, size);
  if (ahead == nullptr && end > start &&
      worth_splitting(set->request, end - start, set->request.helpers)) {
    SplitRead read = split_read(input, set, end - start, *set->request.helpers);
    if (read.interrupted) return Pass{PassOutcome::kInterrupted};
    return Pass{read.failed ? PassOutcome::kFailed : PassOutcome::kComplete};
  }
  unsigned char* buffer = read_buffer();
  Pass pass;
  std::uint64_t position = start;
  for (int reads = 1; position < limit; ++reads) {
    if (os().interrupt_pending() || helpers_stopping(set->request)) {
      return Pass{PassOutcome::kInterrupted};
    }
    std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(limit - position, kReadSize));
    const unsigned char* bytes = buffer;
    std::size_t got = 0;
    if (reads == 1 && ahead != nullptr) {
      bytes = ahead->bytes;
      count = ahead->asked;
      got = ahead->got;
    } else {
      // A read done ahead read at its offset and left the position where it was.
      if (reads == 2 && ahead != nullptr && !os().seek_input(input, position)) {
        return Pass{PassOutcome::kFailed};
      }
      bool failed = false;
      got = read_chunk(input, buffer, count, &failed);
      if (failed) return Pass{failed_read()};
    }
    if (got == 0) break;
    feed_digests(set, bytes, got);
    position += got;
    note_reached(set->request, position);
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

// The reading of a file opened and admitted: read, checked for change, its stamps put back
// through the same handle (only over a file that did not change), and closed.
DigestOutcome read_admitted(OpenedFile& opened, const DigestRequest& request,
                            DigestResult* result) {
  InputHandle input = opened.input;
  opened.input = nullptr;
  const DirEntry& facts = opened.facts;
  DigestSet set;
  start_digests(&set, request);
  Pass pass = read_pass(input, &set, pass_limit(request), static_cast<std::uint64_t>(facts.size),
                        opened.ahead.bytes == nullptr ? nullptr : &opened.ahead);
  DigestOutcome outcome = outcome_of(pass.outcome);
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

void note_reached(const DigestRequest& request, std::uint64_t reached) {
  if (request.progress == nullptr) return;
  request.progress->reached.store(reached, std::memory_order_relaxed);
  if (request.progress->tick) request.progress->tick(reached);
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

DigestOutcome open_admitted(const Directory& dir, const DirEntry& listed,
                            const DigestRequest& request, const FileGate& gate,
                            OpenedFile* opened) {
  InputHandle input = open_for_digest(dir, listed.name, access_for(request));
  if (input == nullptr) {
    return looked_up(dir, listed, gate, DigestOutcome::kNotOpened, &opened->facts);
  }
  DigestOutcome outcome = DigestOutcome::kGone;  // no regular file, or not any more
  if (os().input_facts(input, &opened->facts)) {
    name_as_listed(listed, &opened->facts);
    outcome = admitted(gate, opened->facts);
  }
  if (outcome == DigestOutcome::kDone) {
    opened->input = input;
  } else {
    os().close_input(input);
  }
  return outcome;
}

// A file that changed while it was read is read once more from what it is now; a second change
// means it is being written.
DigestResult digest_opened(const Directory& dir, const DirEntry& listed,
                           const DigestRequest& request, const FileGate& gate, OpenedFile& opened,
                           DigestOutcome opening) {
  DigestResult result;
  result.outcome = opening;
  if (opening == DigestOutcome::kDone) result.outcome = read_admitted(opened, request, &result);
  result.facts = std::move(opened.facts);
  if (result.outcome == DigestOutcome::kChanged) {
    result = DigestResult{};
    OpenedFile again;
    result.outcome = open_admitted(dir, listed, request, gate, &again);
    if (result.outcome == DigestOutcome::kDone) {
      result.outcome = read_admitted(again, request, &result);
    }
    result.facts = std::move(again.facts);
  }
  if (result.outcome != DigestOutcome::kDone) mark_digests(request, &result.texts);
  return result;
}

DigestResult digest_file(const Directory& dir, const DirEntry& listed, const DigestRequest& request,
                         const FileGate& gate) {
  if (nothing_to_read(request)) {
    DigestResult result;
    result.outcome = looked_up(dir, listed, gate, DigestOutcome::kDone, &result.facts);
    return result;
  }
  OpenedFile opened;
  const DigestOutcome opening = open_admitted(dir, listed, request, gate, &opened);
  return digest_opened(dir, listed, request, gate, opened, opening);
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
  return whole_pass(os().open_path(path, nullptr), request);
}
