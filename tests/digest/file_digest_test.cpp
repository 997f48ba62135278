#include "digest/file_digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "digest/split_pass.h"
#include "digest/work_pool.h"
#include "digest_test_support.h"
#include "memory_platform.h"

namespace {

const Directory kDir{"/m/", nullptr};

// One kind with what the tests need to know about it.
struct KindCase {
  Kind kind;
  bool DigestRequest::*flag;
  std::string DigestTexts::*text;
  const char* marker;
};

const std::vector<KindCase>& kinds() {
  static const std::vector<KindCase> all = {
      {Kind::kMd5, &DigestRequest::md5, &DigestTexts::md5, kMd5Marker},
      {Kind::kSha1, &DigestRequest::sha1, &DigestTexts::sha1, kSha1Marker},
      {Kind::kCrc32, &DigestRequest::crc32, &DigestTexts::crc32, kCrc32Marker},
      {Kind::kSha256, &DigestRequest::sha256, &DigestTexts::sha256, kSha256Marker},
      {Kind::kSha384, &DigestRequest::sha384, &DigestTexts::sha384, kSha384Marker},
      {Kind::kSha512, &DigestRequest::sha512, &DigestTexts::sha512, kSha512Marker},
  };
  return all;
}

DigestRequest every_kind(std::uint64_t start = 0, std::uint64_t md5_end = 0) {
  DigestRequest request;
  for (const KindCase& k : kinds()) request.*k.flag = true;
  request.start = start;
  request.md5_end = md5_end;
  return request;
}

DigestResult digest(MemoryPlatform& fs, const std::string& name, const DigestRequest& request) {
  return digest_file(kDir, fs.listed(kDir.path + name), request);
}

}  // namespace

TEST(FileDigest, OneOpenAndOnePassGiveEveryKindTheDigestOfTheBytes) {
  MemoryPlatform fs;
  WorkPool pool(2);
  const std::size_t split = kSplitThreshold;
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{59999}, std::size_t{60000},
                           std::size_t{65535}, std::size_t{65536}, std::size_t{65537},
                           std::size_t{200001}, split - 1, split, split + 65537, split + 1000}) {
    const std::string name = "file" + std::to_string(size);
    const std::string path = kDir.path + name;
    fs.files[path] = pattern_bytes(size, static_cast<unsigned>(size) + 1);
    // Alone, and with workers that share the kinds of a large file.
    for (WorkPool* helpers : {static_cast<WorkPool*>(nullptr), &pool}) {
      fs.read_sizes.clear();
      fs.opens.clear();
      DigestRequest request = every_kind();
      request.helpers = helpers;
      DigestResult result = digest(fs, name, request);
      EXPECT_EQ(result.outcome, DigestOutcome::kDone) << size;
      for (const KindCase& k : kinds()) {
        EXPECT_EQ(result.texts.*k.text, digest_hex(k.kind, fs.files[path]))
            << kind_name(k.kind) << " size " << size;
      }
      EXPECT_EQ(fs.opens[path], 1) << "one open whatever the number of digests";
      std::size_t asked = 0;
      for (std::size_t n : fs.read_sizes) asked += n;
      // Reading stops once the size is reached: no read past it, one pass in all.
      EXPECT_LE(asked, size + 65536) << size;
      EXPECT_LE(fs.read_sizes.size(), size / 65536 + 1) << size;
      EXPECT_EQ(fs.open_handles, 0);
    }
  }
  // Only the kinds asked for get a text.
  DigestRequest md5_only;
  md5_only.md5 = true;
  DigestResult one = digest(fs, "file1", md5_only);
  EXPECT_FALSE(one.texts.md5.empty());
  EXPECT_TRUE(one.texts.sha1.empty() && one.texts.crc32.empty() && one.texts.sha512.empty());
}

TEST(FileDigest, StartOffsetAppliesToEveryKind) {
  MemoryPlatform fs;
  const std::string path = kDir.path + "data";
  fs.files[path] = pattern_bytes(150000, 9);
  const std::string bytes = fs.files[path];
  struct Case {
    std::uint64_t start;
    std::string expected_input;
  };
  const std::vector<Case> cases = {
      {100, bytes.substr(100)},
      {65536, bytes.substr(65536)},
      {149999, bytes.substr(149999)},
      {150000, ""},            // exactly at the end
      {4000000000u, ""},       // far past it, beyond 2 GiB
      {5000000000000ull, ""},  // and beyond 4 GiB: no wrap
  };
  for (const Case& c : cases) {
    DigestResult result = digest(fs, "data", every_kind(c.start));
    EXPECT_EQ(result.outcome, DigestOutcome::kDone) << c.start;
    for (const KindCase& k : kinds()) {
      EXPECT_EQ(result.texts.*k.text, digest_hex(k.kind, c.expected_input))
          << kind_name(k.kind) << " start " << c.start;
    }
  }
  EXPECT_EQ(digest(fs, "data", every_kind(150000)).texts.crc32, "00000000");
}

TEST(FileDigest, Md5StopsAtItsEndWhileTheOtherKindsReadOn) {
  MemoryPlatform fs;
  const std::string path = kDir.path + "data";
  fs.files[path] = pattern_bytes(300000, 4);
  const std::string bytes = fs.files[path];
  struct Case {
    std::uint64_t start, end;
    std::string expected_input;
  };
  const std::vector<Case> cases = {
      {100, 200, bytes.substr(100, 100)},
      {0, 200, bytes.substr(0, 200)},
      {100, 300, bytes.substr(100, 200)},      // a count of 200 from 100
      {200, 200, ""},                          // end at the start
      {300, 200, ""},                          // end below the start
      {299000, 400000, bytes.substr(299000)},  // end past the end of the file
      {70000, 200000, bytes.substr(70000, 130000)},
      {1000, 0, bytes.substr(1000)},  // no end offset
      {300000, 300100, ""},
      {299500, 299800, bytes.substr(299500, 300)},  // the end within a last, short piece
  };
  DigestRequest md5_only;
  md5_only.md5 = true;
  for (const Case& c : cases) {
    // MD5 alone reads exactly the range within the file: nothing past the end offset.
    md5_only.start = c.start;
    md5_only.md5_end = c.end;
    fs.read_sizes.clear();
    EXPECT_EQ(digest(fs, "data", md5_only).texts.md5, digest_hex(Kind::kMd5, c.expected_input))
        << c.start << ".." << c.end;
    std::size_t asked = 0;
    for (std::size_t n : fs.read_sizes) asked += n;
    if (c.end > c.start && c.end <= bytes.size()) {
      EXPECT_EQ(asked, c.end - c.start) << c.start << ".." << c.end;
    }
    // With the others in the same pass, MD5 still covers its range only.
    DigestResult all = digest(fs, "data", every_kind(c.start, c.end));
    EXPECT_EQ(all.texts.md5, digest_hex(Kind::kMd5, c.expected_input));
    EXPECT_EQ(all.texts.sha1,
              digest_hex(Kind::kSha1, c.start < bytes.size() ? bytes.substr(c.start) : ""));
    EXPECT_EQ(fs.open_handles, 0);
  }
}

TEST(FileDigest, OpenRetriesInTheOemCodePageThenShared) {
  MemoryPlatform fs;
  fs.files["/m/oem-name"] = "bytes";
  fs.refuse_ansi_open.insert("/m/oem-name");
  fs.refuse_shared.insert("/m/oem-name");
  DigestResult result = digest(fs, "oem-name", every_kind());
  EXPECT_EQ(result.texts.sha256, digest_hex(Kind::kSha256, "bytes"));
  EXPECT_EQ(fs.log,
            (std::vector<std::string>{"open ANSI /m/oem-name", "open OEM /m/oem-name", "close"}));
  EXPECT_TRUE(fs.ansi) << "ANSI mode before, ANSI mode after";

  fs.ansi = false;
  InputHandle input = open_for_digest(kDir, "oem-name");
  ASSERT_NE(input, nullptr);
  fs.close_input(input);
  EXPECT_FALSE(fs.ansi) << "OEM mode before, OEM mode after";

  // A file another process holds open is read through the shared open, with the same text.
  fs.files["/m/free"] = pattern_bytes(100000, 2);
  fs.files["/m/held"] = fs.files["/m/free"];
  fs.refuse_open.insert("/m/held");
  fs.log.clear();
  DigestResult held = digest(fs, "held", every_kind(777, 70000));
  DigestResult free = digest(fs, "free", every_kind(777, 70000));
  EXPECT_EQ(fs.log.at(2), "shared /m/held");
  for (const KindCase& k : kinds()) EXPECT_EQ(held.texts.*k.text, free.texts.*k.text);
  EXPECT_EQ(fs.open_handles, 0);
}

TEST(FileDigest, FailuresGiveEveryKindItsMarkerAndAnOutcome) {
  MemoryPlatform fs;
  fs.files["/m/locked"] = "content";
  fs.refuse_open.insert("/m/locked");
  fs.refuse_shared.insert("/m/locked");
  fs.files["/m/bad-sector"] = pattern_bytes(300000, 5);
  fs.fail_read_at["/m/bad-sector"] = 130000;
  fs.files["/m/unseekable"] = pattern_bytes(5000, 6);
  fs.refuse_seek.insert("/m/unseekable");
  struct Case {
    std::string name;
    std::uint64_t start;
    DigestOutcome outcome;
  };
  for (const Case& c : {Case{"locked", 0, DigestOutcome::kNotOpened},
                        Case{"bad-sector", 0, DigestOutcome::kReadFailed},
                        Case{"unseekable", 10, DigestOutcome::kReadFailed}}) {
    DigestResult result = digest(fs, c.name, every_kind(c.start));
    EXPECT_EQ(result.outcome, c.outcome) << c.name;
    for (const KindCase& k : kinds()) {
      EXPECT_EQ(result.texts.*k.text, k.marker) << kind_name(k.kind) << " " << c.name;
      EXPECT_EQ(std::string(k.marker).size(), digest_hex(k.kind, "").size());
    }
    EXPECT_EQ(fs.open_handles, 0);
  }
  // A file removed since it was listed is gone, not unreadable: no marker will stand for it.
  fs.files["/m/removed"] = "here when listed";
  const DirEntry removed = fs.listed("/m/removed");
  fs.files.erase("/m/removed");
  EXPECT_EQ(digest_file(kDir, removed, every_kind()).outcome, DigestOutcome::kGone);
  // A range that ends before the bad spot reads fine, and from the start nothing is positioned.
  DigestRequest md5_only;
  md5_only.md5 = true;
  md5_only.md5_end = 120000;
  EXPECT_EQ(digest(fs, "bad-sector", md5_only).texts.md5,
            digest_hex(Kind::kMd5, fs.files["/m/bad-sector"].substr(0, 120000)));
  EXPECT_EQ(digest(fs, "unseekable", every_kind()).outcome, DigestOutcome::kDone);
  EXPECT_EQ(std::string(kMd5Marker), "- ERROR - FILE POSSIBLY LOCKED -");
  EXPECT_EQ(std::string(kSha1Marker), "-- ERROR - FILE POSSIBLY LOCKED BY OS --");
  EXPECT_EQ(std::string(kCrc32Marker), "CRCERROR");
}

TEST(FileDigest, AFileRewrittenDuringThePassIsReadOnceMoreAndReportedWhenItChangesAgain) {
  MemoryPlatform fs;
  const std::string path = kDir.path + "log";
  fs.files[path] = pattern_bytes(200000, 3);
  const DirEntry listed = fs.listed(path);

  // Rewritten at the second read of the first pass: the second pass, from fresh facts, counts.
  fs.rewrite_at_read[path] = {2};
  DigestResult once = digest_file(kDir, listed, every_kind());
  EXPECT_EQ(once.outcome, DigestOutcome::kDone);
  EXPECT_EQ(fs.opens[path], 2);
  EXPECT_EQ(once.texts.md5, digest_hex(Kind::kMd5, fs.files[path]));
  EXPECT_EQ(once.facts.size, static_cast<std::int64_t>(fs.files[path].size()));
  EXPECT_NE(once.facts.last_write, listed.last_write);

  // Rewritten during both passes (the first grows past its size and is read to its end): no
  // digest passes for the file's.
  fs.opens.clear();
  const int made = fs.reads_of(path);
  fs.rewrite_at_read[path] = {made + 2, made + 7};
  DigestResult twice = digest_file(kDir, fs.listed(path), every_kind());
  EXPECT_EQ(twice.outcome, DigestOutcome::kChanged);
  EXPECT_EQ(fs.opens[path], 2);
  for (const KindCase& k : kinds()) EXPECT_EQ(twice.texts.*k.text, k.marker);

  // What the walk handed on counts for nothing: the facts are the open file's.
  fs.opens.clear();
  DirEntry stale = fs.listed(path);
  stale.size += 10;
  stale.last_write -= 1;
  DigestResult fresh = digest_file(kDir, stale, every_kind());
  EXPECT_EQ(fresh.outcome, DigestOutcome::kDone);
  EXPECT_EQ(fs.opens[path], 1);
  EXPECT_EQ(fresh.facts.size, static_cast<std::int64_t>(fs.files[path].size()));
  EXPECT_EQ(fresh.facts.last_write, fs.listed(path).last_write);
  EXPECT_EQ(fs.open_handles, 0);
}

// The gate sees the facts of the open file before a byte is read, and a file it turns away is
// closed unread; a file read once more goes through the gate again, with its fresh facts.
TEST(FileDigest, TheGateDecidesOnTheOpenFilesFactsBeforeAByteIsRead) {
  MemoryPlatform fs;
  const std::string path = kDir.path + "log";
  fs.files[path] = pattern_bytes(200000, 8);
  std::vector<std::int64_t> seen;
  auto gate_of = [&](Admission answer, std::int64_t largest) {
    return [&seen, answer, largest](const DirEntry& facts) {
      seen.push_back(facts.size);
      return facts.size <= largest ? Admission::kRead : answer;
    };
  };
  for (Admission answer : {Admission::kReject, Admission::kPutBack}) {
    seen.clear();
    fs.reads = 0;
    fs.log.clear();
    DigestResult turned = digest_file(kDir, fs.listed(path), every_kind(), gate_of(answer, 0));
    EXPECT_EQ(turned.outcome,
              answer == Admission::kReject ? DigestOutcome::kRejected : DigestOutcome::kPutBack);
    EXPECT_EQ(seen, std::vector<std::int64_t>{200000});
    EXPECT_EQ(fs.reads, 0);
    EXPECT_EQ(fs.log, (std::vector<std::string>{"open ANSI " + path, "close"}));
  }
  // Grown during the first reading past what the gate lets through: the second reading is
  // turned away on the new size, and the file is not catalogued with stale facts.
  seen.clear();
  fs.rewrite_at_read[path] = {fs.reads_of(path) + 2};
  DigestResult grown =
      digest_file(kDir, fs.listed(path), every_kind(), gate_of(Admission::kReject, 200000));
  EXPECT_EQ(grown.outcome, DigestOutcome::kRejected);
  EXPECT_EQ(seen, (std::vector<std::int64_t>{200000, 200001}));
  EXPECT_EQ(fs.open_handles, 0);
}

// A size is no promise about content: a file reporting 0 or too much is read until the system
// says it ended, and one whose first read fails gets the markers. A small regular file is one
// open, one look at its facts, one read and one close.
TEST(FileDigest, FilesAreReadUntilTheyEndAndASmallFileInOneRead) {
  MemoryPlatform fs;
  fs.files["/m/status"] = "Name: tallysum\nState: R\n";
  fs.reported_size["/m/status"] = 0;
  fs.files["/m/attribute"] = "20 bytes of content.";
  fs.reported_size["/m/attribute"] = 4096;
  for (const char* name : {"status", "attribute"}) {
    DigestResult result = digest(fs, name, every_kind());
    EXPECT_EQ(result.outcome, DigestOutcome::kDone) << name;
    EXPECT_EQ(result.texts.sha256, digest_hex(Kind::kSha256, fs.files[kDir.path + name])) << name;
  }
  fs.files["/m/mem"] = "unreadable";
  fs.reported_size["/m/mem"] = 0;
  fs.fail_read_at["/m/mem"] = 0;
  DigestResult mem = digest(fs, "mem", every_kind());
  EXPECT_EQ(mem.outcome, DigestOutcome::kReadFailed);
  EXPECT_EQ(mem.texts.md5, kMd5Marker);

  fs.files["/m/small"] = pattern_bytes(1000, 3);
  fs.reads = 0;
  fs.facts_taken = 0;
  fs.log.clear();
  EXPECT_EQ(digest(fs, "small", every_kind()).texts.md5,
            digest_hex(Kind::kMd5, fs.files["/m/small"]));
  EXPECT_EQ(fs.log, (std::vector<std::string>{"open ANSI /m/small", "close"}));
  EXPECT_EQ(fs.reads, 1);
  EXPECT_EQ(fs.facts_taken, 1);
  EXPECT_EQ(fs.open_handles, 0);
}

// A first piece read ahead begins the reading: a piece that holds the whole file needs no read
// more, and after a short one the reading goes on from where the piece ended, not from where
// the handle stands.
TEST(FileDigest, AFirstPieceReadAheadBeginsTheReadingAndTheRestFollowsIt) {
  MemoryPlatform fs;
  const std::string path = kDir.path + "ahead";
  fs.files[path] = pattern_bytes(100000, 9);
  fs.files[kDir.path + "whole"] = pattern_bytes(500, 4);
  struct Case {
    const char* name;
    std::uint64_t start;
    std::size_t got;
  };
  for (Case c : {Case{"ahead", 0, 777}, Case{"ahead", 1000, 32768}, Case{"whole", 0, 500},
                 Case{"whole", 100, 400}}) {
    const std::string file = kDir.path + c.name;
    const DigestRequest request = every_kind(c.start);
    OpenedFile opened;
    ASSERT_EQ(open_admitted(kDir, fs.listed(file), request, nullptr, &opened),
              DigestOutcome::kDone);
    const std::string piece = fs.files[file].substr(c.start, c.got);
    opened.ahead = FirstPiece{reinterpret_cast<const unsigned char*>(piece.data()), 32768, c.got};
    fs.reads = 0;
    const DigestResult ahead =
        digest_opened(kDir, fs.listed(file), request, nullptr, opened, DigestOutcome::kDone);
    const std::string what = std::string(c.name) + " from " + std::to_string(c.start);
    if (c.start + c.got == fs.files[file].size()) {
      EXPECT_EQ(fs.reads, 0) << what;
    }
    EXPECT_EQ(ahead.outcome, DigestOutcome::kDone) << what;
    EXPECT_EQ(ahead.texts.sha512, digest(fs, c.name, request).texts.sha512) << what;
  }
  EXPECT_EQ(fs.open_handles, 0);
}

// The stamps go back through the handle that was read, before it is closed, and only over a
// file that kept its size and write time: stale stamps never hide a change.
TEST(FileDigest, StampsGoBackThroughTheReadHandleAndNeverOverAChange) {
  MemoryPlatform fs;
  const std::string path = kDir.path + "log";
  fs.files[path] = pattern_bytes(200000, 5);
  DigestRequest request = every_kind();
  request.reset_times = true;
  const std::string put_back = "times " + path + " " + std::to_string(fs.listed(path).last_write);
  DigestResult plain = digest_file(kDir, fs.listed(path), request);
  EXPECT_FALSE(plain.reset_failed);
  EXPECT_EQ(fs.log, (std::vector<std::string>{"open ANSI " + path, put_back, "close"}));

  // Changed during the first reading: only the second, unchanged, puts its own stamps back.
  fs.log.clear();
  fs.rewrite_at_read[path] = {fs.reads_of(path) + 2};
  DigestResult changed = digest_file(kDir, fs.listed(path), request);
  EXPECT_EQ(changed.outcome, DigestOutcome::kDone);
  EXPECT_FALSE(changed.reset_failed);
  const std::string second = "times " + path + " " + std::to_string(fs.listed(path).last_write);
  EXPECT_EQ(fs.log, (std::vector<std::string>{"open ANSI " + path, "close", "open ANSI " + path,
                                              second, "close"}));
  // Changed during both: nothing is put back, and that is a failure to say.
  fs.log.clear();
  const int made = fs.reads_of(path);
  fs.rewrite_at_read[path] = {made + 2, made + 7};
  DigestResult twice = digest_file(kDir, fs.listed(path), request);
  EXPECT_EQ(twice.outcome, DigestOutcome::kChanged);
  EXPECT_TRUE(twice.reset_failed);
  EXPECT_EQ(std::count_if(fs.log.begin(), fs.log.end(),
                          [](const std::string& line) { return line.rfind("times", 0) == 0; }),
            0);
  // Turned away unread, or never opened: nothing to put back, nothing failed.
  fs.log.clear();
  EXPECT_FALSE(digest_file(kDir, fs.listed(path), request, [](const DirEntry&) {
                 return Admission::kReject;
               }).reset_failed);
  fs.refuse_open.insert(path);
  fs.refuse_shared.insert(path);
  DigestResult locked = digest_file(kDir, fs.listed(path), request);
  EXPECT_EQ(locked.outcome, DigestOutcome::kNotOpened);
  EXPECT_FALSE(locked.reset_failed);
  EXPECT_EQ(std::count_if(fs.log.begin(), fs.log.end(),
                          [](const std::string& line) { return line.rfind("times", 0) == 0; }),
            0);
}

TEST(FileDigest, InterruptStopsReadingAtOnce) {
  MemoryPlatform fs;
  fs.files["/m/huge"] = std::string(3 << 20, 'x');
  fs.interrupt_after_reads = 2;
  DigestResult result = digest(fs, "huge", every_kind());
  EXPECT_EQ(result.outcome, DigestOutcome::kInterrupted);
  EXPECT_EQ(fs.reads, 2);
  EXPECT_EQ(fs.open_handles, 0);

  // Ctrl-C arriving during a read makes it fail: that is an interrupt, not a read error.
  fs.reads = 0;
  fs.interrupt_after_reads = 1;
  fs.interrupt_fails_reads = true;
  EXPECT_EQ(digest(fs, "huge", every_kind()).outcome, DigestOutcome::kInterrupted);
  EXPECT_EQ(fs.reads, 1);
}

// One reader, each kind on whichever worker is free: every subset of kinds (a single one
// too), offsets, MD5's end and the failures give what one thread alone gives.
TEST(FileDigest, ALargeFileSharedAmongWorkersGivesTheTextsAndOutcomesOfOneThread) {
  MemoryPlatform fs;
  WorkPool pool(3);
  const std::string path = kDir.path + "large";
  const std::size_t size = kSplitThreshold + 300001;
  fs.files[path] = pattern_bytes(size, 77);
  const std::string bytes = fs.files[path];
  struct Case {
    std::vector<int> kinds;  // indexes into kinds()
    std::uint64_t start, md5_end;
  };
  const std::vector<Case> cases = {
      {{0, 1}, 0, 0},        {{2, 5}, 0, 0},        {{0, 1, 2, 3, 4, 5}, 0, 0},
      {{0, 3, 4}, 12345, 0}, {{0, 1}, 100, 200},    {{0, 2, 5}, 70000, 3000000},
      {{1, 4}, size - 5, 0}, {{0, 1}, 0, size + 9}, {{0}, 0, 0},
      {{4}, 12345, 0},       {{0}, 100, 200},       {{2}, size - 5, 0},
  };
  for (const Case& c : cases) {
    DigestRequest request;
    for (int i : c.kinds) request.*kinds()[static_cast<std::size_t>(i)].flag = true;
    request.start = c.start;
    request.md5_end = c.md5_end;
    request.helpers = &pool;
    DigestResult result = digest(fs, "large", request);
    EXPECT_EQ(result.outcome, DigestOutcome::kDone) << c.start;
    for (int i : c.kinds) {
      const KindCase& k = kinds()[static_cast<std::size_t>(i)];
      std::string input = bytes.substr(c.start);
      if (k.kind == Kind::kMd5 && c.md5_end != 0) {
        input = c.md5_end > c.start ? bytes.substr(c.start, c.md5_end - c.start) : "";
      }
      EXPECT_EQ(result.texts.*k.text, digest_hex(k.kind, input))
          << kind_name(k.kind) << " from " << c.start << " md5 end " << c.md5_end;
    }
    EXPECT_EQ(fs.open_handles, 0);
  }

  DigestRequest shared = every_kind();
  shared.helpers = &pool;
  // A read that fails part-way: every kind shows its marker.
  fs.fail_read_at[path] = kSplitThreshold / 2 + 3;
  DigestResult failed = digest(fs, "large", shared);
  EXPECT_EQ(failed.outcome, DigestOutcome::kReadFailed);
  for (const KindCase& k : kinds()) EXPECT_EQ(failed.texts.*k.text, k.marker);
  fs.fail_read_at.clear();
  // Rewritten during the pass: read once more, shared again.
  fs.opens.clear();
  fs.rewrite_at_read[path] = {fs.reads_of(path) + 7};
  DigestResult again = digest_file(kDir, fs.listed(path), shared);
  EXPECT_EQ(again.outcome, DigestOutcome::kDone);
  EXPECT_EQ(fs.opens[path], 2);
  EXPECT_EQ(again.texts.sha512, digest_hex(Kind::kSha512, fs.files[path]));
  // Ctrl-C: the reader stops at once and the workers feed nothing more.
  fs.reads = 0;
  fs.interrupt_after_reads = 5;
  EXPECT_EQ(digest(fs, "large", shared).outcome, DigestOutcome::kInterrupted);
  EXPECT_EQ(fs.reads, 5);
  EXPECT_EQ(fs.open_handles, 0);
}

TEST(FileDigest, Crc32TextKeepsLeadingZeros) {
  MemoryPlatform fs;
  // Find an input whose CRC starts with a zero nibble.
  std::string input;
  for (int i = 0;; ++i) {
    input = "seed " + std::to_string(i);
    if (digest_hex(Kind::kCrc32, input)[0] == '0') break;
  }
  fs.files["/m/z"] = input;
  DigestRequest crc_only;
  crc_only.crc32 = true;
  std::string text = digest(fs, "z", crc_only).texts.crc32;
  EXPECT_EQ(text.size(), 8u);
  EXPECT_EQ(text[0], '0');
  EXPECT_EQ(text, digest_hex(Kind::kCrc32, input));
}
