// The file digest driver: a file (or a named stream) is opened once and read once, and every
// digest the run asks for is fed from the same buffer. The driver never prints and never ends
// the run: it returns an outcome, and the record writers say what it means.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "digest/digest_kinds.h"
#include "platform/platform.h"

class WorkPool;

// How far the reading of one file has come, for those who show it: the file offset read up to,
// stored after every read; `tick`, when set, is called by the reading thread after each.
struct ReadProgress {
  std::atomic<std::uint64_t> reached{0};
  std::function<void(std::uint64_t reached)> tick;
};

// The digests one pass computes and the bytes they cover: every kind from `start` to the end
// of the file, MD5 only up to (not including) `md5_end` when that is not 0. A start at or past
// the end gives the digest of empty input.
struct DigestRequest {
  bool md5 = false;
  bool sha1 = false;
  bool crc32 = false;
  bool sha256 = false;
  bool sha384 = false;
  bool sha512 = false;
  std::uint64_t start = 0;
  std::uint64_t md5_end = 0;
  // Workers that may share the kinds of one large file with the reading thread; null: the
  // reading thread alone.
  WorkPool* helpers = nullptr;
  // Put the stamps the file had when it was reached back through the handle it was read
  // from, once it is read.
  bool reset_times = false;
  // Where the reading reports how far it has come; null: nowhere.
  ReadProgress* progress = nullptr;
};

enum class DigestOutcome {
  kDone,
  kNotOpened,    // neither open could read it
  kGone,         // it is no file of the catalogue: it vanished, or is no regular file now
  kUnreadable,   // it is there, but its facts cannot be taken
  kRejected,     // the gate turned it away on its facts: nothing was read
  kPutBack,      // the gate asked for it later: nothing was read
  kReadFailed,   // a read failed part-way
  kChanged,      // it changed while it was read, and again when it was read once more
  kInterrupted,  // an interrupt arrived: the caller ends the run
};

// What the caller makes of a file's facts, taken when the file is reached and before a byte
// of it is read: read it, turn it away (a filter rejects it), or leave it for later.
enum class Admission { kRead, kReject, kPutBack };
using FileGate = std::function<Admission(const DirEntry& facts)>;

// One text per requested kind (upper-case hexadecimal; CRC-32 as eight digits), empty for a
// kind not requested. When the outcome is not kDone every requested kind holds its marker:
// part of a file's bytes never passes for its digest.
struct DigestTexts {
  std::string md5;
  std::string sha1;
  std::string crc32;
  std::string sha256;
  std::string sha384;
  std::string sha512;
};

// Whether `request` asks for `kind`; where `texts` keeps the text of `kind`.
bool wants(const DigestRequest& request, DigestKind kind);
std::string& text_of(DigestTexts& texts, DigestKind kind);
const std::string& text_of(const DigestTexts& texts, DigestKind kind);
// `request` with `kind` as its only kind, its byte range and helpers kept.
DigestRequest one_kind_of(const DigestRequest& request, DigestKind kind);
std::size_t kind_count(const DigestRequest& request);

struct DigestResult {
  DigestOutcome outcome = DigestOutcome::kDone;
  DigestTexts texts;
  // The file as the reading that counts found it when it reached it, under its listed name:
  // the facts the gate saw and the record shows.
  DirEntry facts;
  // The stamps were asked back and could not be put back (or the file changed meanwhile, and
  // stale stamps are never written over a change).
  bool reset_failed = false;
};

// The contexts of every requested kind, fed in file order; MD5 stops at its end offset.
struct DigestSet {
  DigestRequest request;
  std::uint64_t position = 0;  // file offset of the next byte fed
  std::size_t count = 0;       // kinds in use, in column order
  DigestKind kinds[kDigestKindCount];
  DigestContext contexts[kDigestKindCount];
  // The latest piece waits here when it is short: when it is the last, a small file's bytes
  // reach each kernel together with the padding, in one call, as the set is finished.
  std::size_t held = 0;
  unsigned char hold[kLastRunBytes];
};
void start_digests(DigestSet* set, const DigestRequest& request);
void feed_digests(DigestSet* set, const unsigned char* bytes, std::size_t n);
void finish_digests(DigestSet* set, DigestTexts* texts);
// Every requested kind's marker.
void mark_digests(const DigestRequest& request, DigestTexts* texts);
// The offset up to which a pass must read: the end of the file, or MD5's end when MD5 alone
// is asked for.
std::uint64_t pass_limit(const DigestRequest& request);

// Tells the request's progress, if any, that the reading reached the offset `reached`.
void note_reached(const DigestRequest& request, std::uint64_t reached);

// Opens `name` in `dir` for digest input in the ANSI code page, retrying in the OEM code page,
// then with the shared open; nullptr when all fail.
InputHandle open_for_digest(const Directory& dir, const std::string& name,
                            InputAccess access = InputAccess::kRead);
// Bytes read; 0 at the end of the file and on a read error, which also sets *failed.
std::size_t read_chunk(InputHandle input, void* buffer, std::size_t count, bool* failed);

// One pass over the file `listed` names in `dir` (its name, and its 8.3 name, are all that is
// used of it). The facts are taken when the file is reached, from the open file (without a
// digest to compute, from one look-up; the file is not opened), and `gate` (null: read
// everything) decides on them before a byte is read. The file is read until the system says
// it ended, or, for a regular file, until a read brings it to its size. A file whose size or
// last-write time is no longer what it was reached with is read once more from fresh facts,
// through the gate again, and is reported kChanged when it changes again.
DigestResult digest_file(const Directory& dir, const DirEntry& listed, const DigestRequest& request,
                         const FileGate& gate = nullptr);
// The first piece of a file, read ahead of its reading by a read the system carried out on
// its own: `got` of the `asked` bytes at the start offset, in `bytes`.
struct FirstPiece {
  const unsigned char* bytes = nullptr;  // null: nothing was read ahead
  std::size_t asked = 0;
  std::size_t got = 0;
};

// A file opened and admitted by the gate, for its reading: the handle, the facts taken from
// it, and perhaps its first piece.
struct OpenedFile {
  InputHandle input = nullptr;
  DirEntry facts;
  FirstPiece ahead;
};

// The first half of digest_file, done ahead of the reading: the file opened, its facts taken
// and put to `gate`. kDone: `opened` holds the open file for digest_opened. Anything else is
// the file's outcome, with its facts (where any were taken) in `opened`, and nothing open.
DigestOutcome open_admitted(const Directory& dir, const DirEntry& listed,
                            const DigestRequest& request, const FileGate& gate, OpenedFile* opened);
// The second half: the reading of a file that open_admitted came to `opening` with, from its
// first piece when one was read ahead; the handle is closed.
DigestResult digest_opened(const Directory& dir, const DirEntry& listed,
                           const DigestRequest& request, const FileGate& gate, OpenedFile& opened,
                           DigestOutcome opening);

// One pass over the named stream `stream` of `carrier` in `dir` (`carrier` empty: of the
// directory itself); with reset_times, the stamps its carrier had when it was opened go back
// through the stream's own handle.
DigestResult digest_stream(const Directory& dir, const std::string& carrier,
                           const std::string& stream, const DigestRequest& request);
// One pass over a regular file named by a path (tests, the benchmark).
DigestResult digest_path(const std::string& path, const DigestRequest& request);
