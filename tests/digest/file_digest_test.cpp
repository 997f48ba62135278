#include "digest/file_digest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "digest_test_support.h"
#include "memory_platform.h"
#include "output/destinations.h"

namespace {

// One driver with what the tests need to know about it.
struct Driver {
  Kind kind;
  std::function<std::string(const std::string& name, std::uint32_t start)> run;
  const char* marker;
  std::size_t read_size;
};

const std::vector<Driver>& drivers() {
  static const std::vector<Driver> all = {
      {Kind::kMd5, [](const std::string& n, std::uint32_t s) { return md5_file(n, s); }, kMd5Marker,
       65536},
      {Kind::kSha1, [](const std::string& n, std::uint32_t s) { return sha1_file(n, s); },
       kSha1Marker, 65536},
      {Kind::kCrc32,
       [](const std::string& n, std::uint32_t s) { return crc32_file(n, nullptr, s); },
       kCrc32Marker, 60000},
      {Kind::kSha256, [](const std::string& n, std::uint32_t s) { return sha256_file(n, s); },
       kSha256Marker, 65536},
      {Kind::kSha384, [](const std::string& n, std::uint32_t s) { return sha384_file(n, s); },
       kSha384Marker, 65536},
      {Kind::kSha512, [](const std::string& n, std::uint32_t s) { return sha512_file(n, s); },
       kSha512Marker, 65536},
  };
  return all;
}

// Collects what the drivers print on the message stream.
class MessageCapture {
 public:
  MessageCapture() : saved_(message_stream), file_(std::tmpfile()) { message_stream = file_; }
  ~MessageCapture() {
    message_stream = saved_;
    std::fclose(file_);
  }
  std::string text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string all;
    char chunk[256];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file_)) > 0) all.append(chunk, n);
    return all;
  }

 private:
  std::FILE* saved_;
  std::FILE* file_;
};

std::size_t count_lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST(FileDigest, WholeFilesGiveTheDigestOfTheirBytes) {
  MemoryPlatform fs;
  for (std::size_t size : {0u, 1u, 59999u, 60000u, 60001u, 65535u, 65536u, 65537u, 200001u}) {
    const std::string name = "file" + std::to_string(size);
    fs.files[name] = pattern_bytes(size, static_cast<unsigned>(size) + 1);
    for (const Driver& d : drivers()) {
      fs.read_sizes.clear();
      EXPECT_EQ(d.run(name, 0), digest_hex(d.kind, fs.files[name]))
          << kind_name(d.kind) << " size " << size;
      for (std::size_t asked : fs.read_sizes) EXPECT_EQ(asked, d.read_size) << kind_name(d.kind);
      EXPECT_EQ(fs.open_handles, 0);
    }
  }
}

TEST(FileDigest, StartOffsetAppliesToEveryKind) {
  MemoryPlatform fs;
  fs.files["data"] = pattern_bytes(150000, 9);
  const std::string& bytes = fs.files["data"];
  struct Case {
    std::uint32_t start;
    std::string expected_input;
  };
  const std::vector<Case> cases = {
      {100, bytes.substr(100)},
      {65536, bytes.substr(65536)},
      {149999, bytes.substr(149999)},
      {150000, ""},       // exactly at the end
      {4000000000u, ""},  // far past it, beyond 2 GiB: unsigned
  };
  for (const Case& c : cases) {
    for (const Driver& d : drivers()) {
      EXPECT_EQ(d.run("data", c.start), digest_hex(d.kind, c.expected_input))
          << kind_name(d.kind) << " start " << c.start;
    }
  }
  EXPECT_EQ(crc32_file("data", nullptr, 150000), "00000000");
}

TEST(FileDigest, Md5RangeCoversStartUpToEnd) {
  MemoryPlatform fs;
  fs.files["data"] = pattern_bytes(300000, 4);
  const std::string& bytes = fs.files["data"];
  struct Case {
    std::uint32_t start, end;
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
  };
  for (const Case& c : cases) {
    fs.read_sizes.clear();
    EXPECT_EQ(md5_file_range("data", c.start, c.end), digest_hex(Kind::kMd5, c.expected_input))
        << c.start << ".." << c.end;
    // Within the file the reads ask for exactly the range: nothing past the end offset.
    std::size_t asked = 0;
    for (std::size_t n : fs.read_sizes) asked += n;
    if (c.end > c.start && c.end <= bytes.size()) {
      EXPECT_EQ(asked, c.end - c.start) << c.start << ".." << c.end;
    }
    EXPECT_EQ(fs.open_handles, 0);
  }
}

TEST(FileDigest, OpenRetriesInTheOemCodePage) {
  MemoryPlatform fs;
  fs.files["oem-name"] = "bytes";
  fs.refuse_ansi_open.insert("oem-name");
  fs.refuse_shared.insert("oem-name");
  const std::string expected = digest_hex(Kind::kMd5, "bytes");

  EXPECT_EQ(md5_file("oem-name", 0), expected);
  EXPECT_EQ(fs.log, (std::vector<std::string>{"open ANSI oem-name", "open OEM oem-name", "close"}));
  EXPECT_TRUE(fs.ansi) << "ANSI mode before, ANSI mode after";

  fs.log.clear();
  fs.ansi = false;
  InputHandle input = open_for_digest("oem-name");
  ASSERT_NE(input, nullptr);
  fs.close_input(input);
  EXPECT_FALSE(fs.ansi) << "OEM mode before, OEM mode after";

  // SHA-1 makes one ANSI open and no OEM retry; with the shared open refused too it fails.
  fs.log.clear();
  EXPECT_EQ(sha1_file("oem-name", 0), kSha1Marker);
  EXPECT_EQ(fs.log, (std::vector<std::string>{"open ANSI oem-name", "shared oem-name"}));

  // The other kinds find the file through the OEM retry.
  EXPECT_EQ(sha256_file("oem-name", 0), digest_hex(Kind::kSha256, "bytes"));
  EXPECT_EQ(crc32_file("oem-name", nullptr, 0), digest_hex(Kind::kCrc32, "bytes"));
}

TEST(FileDigest, Crc32LeavesOemModeForTheSharedFallback) {
  MemoryPlatform fs;
  fs.files["held"] = "held open elsewhere";
  fs.refuse_open.insert("held");
  std::uint32_t crc = 0;
  EXPECT_EQ(crc32_file("held", &crc, 0), digest_hex(Kind::kCrc32, "held open elsewhere"));
  EXPECT_EQ(fs.log,
            (std::vector<std::string>{"open ANSI held", "open OEM held", "shared held", "close"}));
  EXPECT_FALSE(fs.ansi);
  char text[9];
  std::snprintf(text, sizeof text, "%08X", crc);
  EXPECT_EQ(text, digest_hex(Kind::kCrc32, "held open elsewhere"));
}

TEST(FileDigest, SharedFallbackGivesTheSameTextAsTheNormalOpen) {
  MemoryPlatform fs;
  fs.files["free"] = pattern_bytes(100000, 2);
  fs.files["held"] = fs.files["free"];
  fs.refuse_open.insert("held");
  for (const Driver& d : drivers()) {
    for (std::uint32_t start : {0u, 777u}) {
      EXPECT_EQ(d.run("held", start), d.run("free", start)) << kind_name(d.kind);
    }
  }
  EXPECT_EQ(md5_file_range("held", 10, 70000), md5_file_range("free", 10, 70000));
  EXPECT_EQ(fs.open_handles, 0);
}

TEST(FileDigest, UnopenableFileGivesMarkersOfTheDigestWidthAndNoMessage) {
  MemoryPlatform fs;
  fs.files["locked"] = "content";
  fs.refuse_open.insert("locked");
  fs.refuse_shared.insert("locked");
  MessageCapture messages;
  for (const Driver& d : drivers()) {
    std::string text = d.run("locked", 0);
    EXPECT_EQ(text, d.marker) << kind_name(d.kind);
    EXPECT_EQ(text.size(), digest_hex(d.kind, "").size()) << kind_name(d.kind);
  }
  EXPECT_EQ(md5_file_range("locked", 1, 5), kMd5Marker);
  EXPECT_EQ(md5_file("missing", 0), kMd5Marker);
  EXPECT_EQ(std::string(kMd5Marker), "- ERROR - FILE POSSIBLY LOCKED -");
  EXPECT_EQ(std::string(kSha1Marker), "-- ERROR - FILE POSSIBLY LOCKED BY OS --");
  EXPECT_EQ(std::string(kCrc32Marker), "CRCERROR");
  EXPECT_EQ(messages.text(), "");
}

TEST(FileDigest, ReadFailingPartWayGivesTheMarkerNotAPartialDigest) {
  MemoryPlatform fs;
  fs.files["bad-sector"] = pattern_bytes(300000, 5);
  fs.fail_read_at["bad-sector"] = 130000;
  MessageCapture messages;
  for (const Driver& d : drivers()) {
    EXPECT_EQ(d.run("bad-sector", 0), d.marker) << kind_name(d.kind);
    EXPECT_EQ(fs.open_handles, 0);
  }
  EXPECT_EQ(md5_file_range("bad-sector", 0, 250000), kMd5Marker);
  // A range that ends before the bad spot reads fine.
  EXPECT_EQ(md5_file_range("bad-sector", 0, 120000),
            digest_hex(Kind::kMd5, fs.files["bad-sector"].substr(0, 120000)));
  const std::string text = messages.text();
  EXPECT_EQ(count_lines(text), drivers().size() + 1);
  EXPECT_NE(text.find("bad-sector"), std::string::npos);

  // The drivers start afresh on the next file.
  fs.files["good"] = "fine";
  for (const Driver& d : drivers()) {
    EXPECT_EQ(d.run("good", 0), digest_hex(d.kind, "fine")) << kind_name(d.kind);
  }
}

TEST(FileDigest, RefusedPositioningIsAReadError) {
  MemoryPlatform fs;
  fs.files["unseekable"] = pattern_bytes(5000, 6);
  fs.refuse_seek.insert("unseekable");
  MessageCapture messages;
  for (const Driver& d : drivers()) {
    EXPECT_EQ(d.run("unseekable", 10), d.marker) << kind_name(d.kind);
    // From the start there is nothing to position.
    EXPECT_EQ(d.run("unseekable", 0), digest_hex(d.kind, fs.files["unseekable"]));
  }
  EXPECT_EQ(count_lines(messages.text()), drivers().size());
}

TEST(FileDigest, InterruptStopsReadingAtOnce) {
  MemoryPlatform fs;
  fs.files["huge"] = std::string(3 << 20, 'x');
  for (const Driver& d : drivers()) {
    fs.reads = 0;
    fs.interrupt_after_reads = 2;
    d.run("huge", 0);
    EXPECT_EQ(fs.reads, 2) << kind_name(d.kind);
    EXPECT_EQ(fs.open_handles, 0);
  }
  fs.reads = 0;
  md5_file_range("huge", 0, 3000000);
  EXPECT_EQ(fs.reads, 2);

  // Ctrl-C arriving during a read makes it fail: that is not reported as a read error.
  MessageCapture messages;
  fs.interrupt_fails_reads = true;
  for (const Driver& d : drivers()) {
    fs.reads = 0;
    fs.interrupt_after_reads = 1;
    d.run("huge", 0);
    EXPECT_EQ(fs.reads, 1) << kind_name(d.kind);
  }
  EXPECT_EQ(messages.text(), "");
}

TEST(FileDigest, Crc32TextKeepsLeadingZeros) {
  MemoryPlatform fs;
  // Find an input whose CRC starts with a zero nibble.
  std::string input;
  for (int i = 0;; ++i) {
    input = "seed " + std::to_string(i);
    if (digest_hex(Kind::kCrc32, input)[0] == '0') break;
  }
  fs.files["z"] = input;
  std::uint32_t crc = 0xFFFFFFFFu;
  std::string text = crc32_file("z", &crc, 0);
  EXPECT_EQ(text.size(), 8u);
  EXPECT_EQ(text[0], '0');
  EXPECT_LT(crc, 0x10000000u);
  EXPECT_EQ(text, digest_hex(Kind::kCrc32, input));
}
