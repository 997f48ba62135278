#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/child_process.h"
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

// The whole content behind `path`, or "<none>" when it cannot be opened.
std::string content_of(Platform& platform, const std::string& path) {
  InputHandle input = platform.open_input(path);
  if (input == nullptr) return "<none>";
  std::string data = read_all(platform, input);
  platform.close_input(input);
  return data;
}

}  // namespace

TEST(DigestInput, ReadsAndSeeksARegularFile) {
  TempDir dir;
  std::string big(200000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i % 253);
  dir.write("small", "0123456789");
  dir.write("big", big);
  PosixPlatform platform;
  InputHandle input = platform.open_input(dir.at("small"));
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(read_all(platform, input, 4), "0123456789");
  ASSERT_TRUE(platform.seek_input(input, 7));
  EXPECT_EQ(read_all(platform, input, 4), "789");
  ASSERT_TRUE(platform.seek_input(input, 100));  // past the end: reads end at once
  EXPECT_EQ(read_all(platform, input), "");
  platform.close_input(input);
  EXPECT_EQ(content_of(platform, dir.at("big")), big);
  InputHandle shared = platform.open_input_shared(dir.at("small"));
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(read_all(platform, shared), "0123456789");
  platform.close_input(shared);
}

TEST(DigestInput, RefusesEverythingButRegularFilesWithoutBlocking) {
  TempDir dir;
  dir.mkdir("sub");
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0644), 0);
  int status = run_in_child([&] {
    PosixPlatform platform;
    int failures = 0;
    for (const std::string& path : {dir.at("pipe"), std::string("/dev/null"), dir.at("sub"),
                                    dir.at("missing"), dir.at("pipe:stream")}) {
      if (platform.open_input(path) != nullptr) ++failures;
      if (platform.open_input_shared(path) != nullptr) ++failures;
    }
    return failures;
  });
  EXPECT_EQ(status, 0);
}

TEST(DigestInput, NamedStreamPathsReadTheAttributeValues) {
  TempDir dir;
  std::string file = dir.at("f.txt");
  dir.write("f.txt", "main data");
  dir.mkdir("d");
  dir.write("odd:name", "colon in the file name");
  ASSERT_TRUE(set_xattr(file, "user.summary", "abc"));
  ASSERT_TRUE(set_xattr(file, "user.DosStream.zone:$DATA", std::string("xyz\0", 4)));
  ASSERT_TRUE(set_xattr(file, "user.a:b", "colon"));
  ASSERT_TRUE(set_xattr(file, "user.sl/ash", "separator"));
  ASSERT_TRUE(set_xattr(file, "user.with space", "spaced"));
  ASSERT_TRUE(set_xattr(file, "user.\xc3\xa9t\xc3\xa9", "accent"));
  ASSERT_TRUE(set_xattr(file, "user.empty", ""));
  ASSERT_TRUE(set_xattr(dir.at("d"), "user.note", "on a directory"));
  ASSERT_TRUE(set_xattr(dir.at("odd:name"), "user.s", "second colon"));
  PosixPlatform platform;
  struct Case {
    std::string path;
    std::string content;
  } cases[] = {
      {file, "main data"},
      {file + ":summary", "abc"},
      {file + ":zone", "xyz"},  // the server's stored terminator is not data
      {file + ":a:b", "colon"},
      {file + ":sl/ash", "separator"},
      {file + ":with space", "spaced"},
      {file + ":\xc3\xa9t\xc3\xa9", "accent"},
      {file + ":empty", ""},
      {dir.at("d:note"), "on a directory"},
      {dir.at("odd:name"), "colon in the file name"},
      {dir.at("odd:name:s"), "second colon"},
      {file + ":missing", "<none>"},
      {file + ":", "<none>"},
      {dir.at("nofile:summary"), "<none>"},
  };
  for (const Case& c : cases) EXPECT_EQ(content_of(platform, c.path), c.content) << c.path;

  InputHandle stream = platform.open_input(file + ":summary");
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(platform.seek_input(stream, 1));
  EXPECT_EQ(read_all(platform, stream, 1), "bc");
  ASSERT_TRUE(platform.seek_input(stream, 9));
  EXPECT_EQ(read_all(platform, stream), "");
  platform.close_input(stream);
}

TEST(DigestInput, EveryListedStreamOpensToItsOwnValue) {
  TempDir dir;
  std::string file = dir.at("f");
  dir.write("f", "");
  // The same name twice: once plain, once in the file server's form with its stored zero.
  ASSERT_TRUE(set_xattr(file, "user.s", "plain"));
  ASSERT_TRUE(set_xattr(file, "user.DosStream.s:$DATA", std::string("served ten\0", 11)));
  ASSERT_TRUE(set_xattr(file, "user.DosStream.only:$DATA", std::string("alone\0", 6)));
  PosixPlatform platform;
  std::vector<StreamEntry> streams;
  ASSERT_TRUE(platform.list_streams(file, &streams));
  ASSERT_EQ(streams.size(), 3u);
  std::vector<std::string> names;
  for (const StreamEntry& stream : streams) {
    std::string name = stream.name.substr(1, stream.name.size() - 1 - 6);  // no ":" nor ":$DATA"
    names.push_back(name);
    std::string content = content_of(platform, file + ":" + name);
    EXPECT_EQ(static_cast<std::int64_t>(content.size()), stream.size) << stream.name;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"DosStream.s:$DATA", "only", "s"}));
  EXPECT_EQ(content_of(platform, file + ":s"), "plain");
  EXPECT_EQ(content_of(platform, file + ":DosStream.s:$DATA"), "served ten");
}
