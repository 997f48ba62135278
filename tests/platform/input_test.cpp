#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "platform/child_process.h"
#include "platform/open_directory.h"
#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

namespace {

// Everything an input delivers, read in pieces of `piece` bytes.
std::string read_all(Platform& platform, InputHandle input, std::size_t piece = 4096) {
  std::string data;
  std::string buffer(piece, '\0');
  long long got = 0;
  while ((got = platform.read_input(input, buffer.data(), piece)) > 0) {
    data.append(buffer.data(), static_cast<std::size_t>(got));
  }
  EXPECT_EQ(got, 0);
  return data;
}

// The whole content of an input, or "<none>" when it was not opened; closes it.
std::string drain(Platform& platform, InputHandle input) {
  if (input == nullptr) return "<none>";
  std::string data = read_all(platform, input);
  platform.close_input(input);
  return data;
}

FileTime ticks(std::int64_t seconds, std::int64_t hundreds_of_ns) {
  return static_cast<FileTime>((seconds + 11644473600LL) * 10000000LL + hundreds_of_ns);
}

}  // namespace

TEST(DigestInput, ReadsAndSeeksARegularFileOfItsDirectory) {
  TempDir dir;
  std::string big(200000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i % 253);
  dir.write("small", "0123456789");
  dir.write("big", big);
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  std::string error;
  InputHandle input = platform.open_file(open.dir(), "small", InputAccess::kRead, &error);
  ASSERT_NE(input, nullptr) << error;
  EXPECT_EQ(read_all(platform, input, 4), "0123456789");
  ASSERT_TRUE(platform.seek_input(input, 7));
  EXPECT_EQ(read_all(platform, input, 4), "789");
  ASSERT_TRUE(platform.seek_input(input, 100));  // past the end: reads end at once
  EXPECT_EQ(read_all(platform, input), "");
  platform.close_input(input);
  EXPECT_EQ(drain(platform, platform.open_file(open.dir(), "big", InputAccess::kRead, nullptr)),
            big);
  EXPECT_EQ(
      drain(platform, platform.open_file_shared(open.dir(), "small", InputAccess::kRead, nullptr)),
      "0123456789");
  EXPECT_EQ(drain(platform, platform.open_path(dir.at("small"), nullptr)), "0123456789");
  EXPECT_EQ(drain(platform, platform.open_file(Directory{open.dir().path, nullptr}, "small",
                                               InputAccess::kRead, nullptr)),
            "0123456789");
  error.clear();
  EXPECT_EQ(platform.open_file(open.dir(), "missing", InputAccess::kRead, &error), nullptr);
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_EQ(platform.open_file_shared(open.dir(), "missing", InputAccess::kRead, nullptr), nullptr);
}

// Reads carried out on their own come back by their tags with the bytes at their offsets, and
// leave the handle's own position where it was; a stream is read from memory, never by them.
TEST(DigestInput, BackgroundReadsBringTheBytesAtTheirOffsets) {
  PosixPlatform platform;
  std::unique_ptr<BackgroundReads> reads = platform.background_reads(4);
  if (reads == nullptr) GTEST_SKIP() << "this system carries out no reads on its own";
  TempDir dir;
  dir.write("small", "0123456789");
  OpenDirectory open(platform, dir.path());
  InputHandle input = platform.open_file(open.dir(), "small", InputAccess::kRead, nullptr);
  ASSERT_NE(input, nullptr);
  char first[4] = {};
  char last[8] = {};
  char past[4] = {};
  ASSERT_TRUE(reads->start(input, first, sizeof first, 0, first));
  ASSERT_TRUE(reads->start(input, last, sizeof last, 6, last));
  ASSERT_TRUE(reads->start(input, past, sizeof past, 20, past));
  std::map<void*, long long> got;
  for (int tries = 0; reads->in_flight() > 0 && tries < 100; ++tries) {
    reads->collect(std::chrono::milliseconds(50), [&](void* tag, long long n) { got[tag] = n; });
  }
  EXPECT_EQ(got, (std::map<void*, long long>{{first, 4}, {last, 4}, {past, 0}}));
  EXPECT_EQ(std::string(first, 4) + std::string(last, 4), "01236789");
  EXPECT_EQ(read_all(platform, input), "0123456789");
  platform.close_input(input);
  dir.write("carrier", "");
  ASSERT_TRUE(set_xattr(dir.at("carrier"), "user.note", "v"));
  InputHandle stream = platform.open_stream(open.dir(), "carrier", "note", InputAccess::kRead);
  ASSERT_NE(stream, nullptr);
  EXPECT_FALSE(reads->start(stream, first, sizeof first, 0, first));
  platform.close_input(stream);
}

TEST(DigestInput, ANameThatIsNoLongerARegularFileNeitherBlocksNorPassesTheEndCheck) {
  TempDir dir;
  dir.mkdir("sub");
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0644), 0);
  // In a child: an open that waited for a writer would be ended by the alarm.
  int status = run_in_child([&] {
    PosixPlatform platform;
    OpenDirectory open(platform, dir.path());
    int failures = 0;
    for (const char* name : {"pipe", "sub"}) {
      for (bool shared : {false, true}) {
        InputHandle input =
            shared ? platform.open_file_shared(open.dir(), name, InputAccess::kRead, nullptr)
                   : platform.open_file(open.dir(), name, InputAccess::kRead, nullptr);
        DirEntry facts;
        if (input != nullptr && platform.input_facts(input, &facts)) ++failures;
        platform.close_input(input);
      }
    }
    for (const std::string& path :
         {dir.at("pipe"), std::string("/dev/null"), dir.at("sub"), dir.at("missing")}) {
      if (platform.open_path(path, nullptr) != nullptr) ++failures;
    }
    return failures;
  });
  EXPECT_EQ(status, 0);
}

TEST(DigestInput, FactsOfAnOpenFileShowChangesMadeWhileItIsRead) {
  TempDir dir;
  dir.write(".notes", "first");
  struct timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.at(".notes").c_str(), times, 0), 0);
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  InputHandle input = platform.open_file(open.dir(), ".notes", InputAccess::kRead, nullptr);
  ASSERT_NE(input, nullptr);
  DirEntry facts;
  ASSERT_TRUE(platform.input_facts(input, &facts));
  EXPECT_EQ(facts.size, 5);
  EXPECT_EQ(facts.attributes, kAttrHidden);
  EXPECT_EQ(facts.last_access, ticks(1000000000, 1234567));
  EXPECT_EQ(facts.last_access_ns, 89);
  EXPECT_EQ(facts.last_write, ticks(1200000000, 9876543));
  EXPECT_EQ(facts.last_write_ns, 21);
  dir.write(".notes", "first and more");  // the same file, rewritten
  ASSERT_TRUE(platform.input_facts(input, &facts));
  EXPECT_EQ(facts.size, 14);
  EXPECT_GT(facts.last_write, ticks(1200000000, 9876543));
  platform.close_input(input);
}

TEST(DigestInput, NamedStreamsReadTheAttributeValues) {
  TempDir dir;
  std::string file = dir.at("f.txt");
  dir.write("f.txt", "main data");
  dir.mkdir("d");
  ASSERT_TRUE(set_xattr(file, "user.summary", "abc"));
  ASSERT_TRUE(set_xattr(file, "user.DosStream.zone:$DATA", std::string("xyz\0", 4)));
  ASSERT_TRUE(set_xattr(file, "user.a:b", "colon"));
  ASSERT_TRUE(set_xattr(file, "user.sl/ash", "separator"));
  ASSERT_TRUE(set_xattr(file, "user.with space", "spaced"));
  ASSERT_TRUE(set_xattr(file, "user.\xc3\xa9t\xc3\xa9", "accent"));
  ASSERT_TRUE(set_xattr(file, "user.empty", ""));
  ASSERT_TRUE(set_xattr(dir.at("d"), "user.note", "on a directory"));
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  OpenDirectory d(platform, dir.at("d"));
  struct Case {
    const Directory& dir;
    std::string carrier;
    std::string stream;
    std::string content;
  } cases[] = {
      {open.dir(), "f.txt", "summary", "abc"},
      {open.dir(), "f.txt", "zone", "xyz"},  // the server's stored terminator is not data
      {open.dir(), "f.txt", "a:b", "colon"},
      {open.dir(), "f.txt", "sl/ash", "separator"},
      {open.dir(), "f.txt", "with space", "spaced"},
      {open.dir(), "f.txt", "\xc3\xa9t\xc3\xa9", "accent"},
      {open.dir(), "f.txt", "empty", ""},
      {open.dir(), "d", "note", "on a directory"},
      {d.dir(), "", "note", "on a directory"},  // the directory's own stream
      {open.dir(), "f.txt", "missing", "<none>"},
      {open.dir(), "f.txt", "", "<none>"},
      {open.dir(), "nofile", "summary", "<none>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(drain(platform, platform.open_stream(c.dir, c.carrier, c.stream, InputAccess::kRead)),
              c.content)
        << c.carrier << ":" << c.stream;
  }
  InputHandle stream = platform.open_stream(open.dir(), "f.txt", "summary", InputAccess::kRead);
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(platform.seek_input(stream, 1));
  EXPECT_EQ(read_all(platform, stream, 1), "bc");
  ASSERT_TRUE(platform.seek_input(stream, 9));
  EXPECT_EQ(read_all(platform, stream), "");
  platform.close_input(stream);
}

TEST(DigestInput, AStreamsFactsAreItsOwnSizeAndItsCarriersTimes) {
  TempDir dir;
  dir.write("f", "carrier data");
  ASSERT_TRUE(set_xattr(dir.at("f"), "user.s", "1234567"));
  struct timespec times[2] = {{1000000000, 5}, {1100000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.at("f").c_str(), times, 0), 0);
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  InputHandle stream = platform.open_stream(open.dir(), "f", "s", InputAccess::kRead);
  ASSERT_NE(stream, nullptr);
  DirEntry facts;
  ASSERT_TRUE(platform.input_facts(stream, &facts));
  EXPECT_EQ(facts.size, 7);
  EXPECT_EQ(facts.last_write, ticks(1100000000, 1234567));
  EXPECT_EQ(facts.last_write_ns, 89);
  EXPECT_EQ(facts.last_access_ns, 5);
  dir.write("f", "carrier data, changed");
  ASSERT_TRUE(platform.input_facts(stream, &facts));
  EXPECT_EQ(facts.size, 7);
  EXPECT_GT(facts.last_write, ticks(1100000000, 1234567));
  platform.close_input(stream);
}

TEST(DigestInput, EveryListedStreamOpensToItsOwnValue) {
  TempDir dir;
  dir.write("f", "");
  // The same name twice: once plain, once in the file server's form with its stored zero.
  ASSERT_TRUE(set_xattr(dir.at("f"), "user.s", "plain"));
  ASSERT_TRUE(set_xattr(dir.at("f"), "user.DosStream.s:$DATA", std::string("served ten\0", 11)));
  ASSERT_TRUE(set_xattr(dir.at("f"), "user.DosStream.only:$DATA", std::string("alone\0", 6)));
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  std::vector<StreamEntry> streams;
  ASSERT_TRUE(platform.list_streams(open.dir(), "f", &streams));
  ASSERT_EQ(streams.size(), 3u);
  std::vector<std::string> names;
  for (const StreamEntry& stream : streams) {
    std::string name = stream.name.substr(1, stream.name.size() - 1 - 6);  // no ":" nor ":$DATA"
    names.push_back(name);
    std::string content =
        drain(platform, platform.open_stream(open.dir(), "f", name, InputAccess::kRead));
    EXPECT_EQ(static_cast<std::int64_t>(content.size()), stream.size) << stream.name;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"DosStream.s:$DATA", "only", "s"}));
  EXPECT_EQ(drain(platform, platform.open_stream(open.dir(), "f", "s", InputAccess::kRead)),
            "plain");
  EXPECT_EQ(drain(platform,
                  platform.open_stream(open.dir(), "f", "DosStream.s:$DATA", InputAccess::kRead)),
            "served ten");
}
