#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"
#include "temp_tree.h"

namespace {

std::string read_all(Platform& platform, InputHandle input, std::size_t piece) {
  std::string data;
  std::string buffer(piece, '\0');
  long long got = 0;
  while ((got = platform.read_input(input, buffer.data(), piece)) > 0) {
    data.append(buffer.data(), static_cast<std::size_t>(got));
  }
  EXPECT_EQ(got, 0);
  return data;
}

bool volume_keeps_streams(const std::wstring& path) {
  wchar_t root[MAX_PATH + 1] = {};
  DWORD flags = 0;
  return GetVolumePathNameW(path.c_str(), root, MAX_PATH + 1) &&
         GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
         (flags & FILE_NAMED_STREAMS) != 0;
}

}  // namespace

TEST(Win32Input, ReadsSeeksAndReportsAFile) {
  TempTree tree;
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i % 251);
  ASSERT_TRUE(tree.write("big", big));
  ASSERT_TRUE(tree.write("small", "0123456789"));
  Win32Platform platform;
  Directory dir{tree.path(), nullptr};
  std::string error;
  InputHandle input = platform.open_file(dir, "small", InputAccess::kRead, &error);
  ASSERT_NE(input, nullptr) << error;
  EXPECT_EQ(read_all(platform, input, 3), "0123456789");
  ASSERT_TRUE(platform.seek_input(input, 6));
  EXPECT_EQ(read_all(platform, input, 3), "6789");
  ASSERT_TRUE(platform.seek_input(input, 1000));  // past the end: reads end at once
  EXPECT_EQ(read_all(platform, input, 3), "");
  EXPECT_FALSE(platform.seek_input(input, ~std::uint64_t{0}));
  DirEntry facts;
  ASSERT_TRUE(platform.input_facts(input, &facts));
  EXPECT_EQ(facts.size, 10);
  DirEntry listed;
  ASSERT_EQ(platform.entry_facts(dir, "small", &listed), Lookup::kFound);
  EXPECT_EQ(facts.last_write, listed.last_write);
  platform.close_input(input);

  input = platform.open_file(dir, "big", InputAccess::kRead, &error);
  ASSERT_NE(input, nullptr) << error;
  EXPECT_EQ(read_all(platform, input, 65536), big);
  platform.close_input(input);
  input = platform.open_path(tree.at("big"), nullptr);
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(read_all(platform, input, 4096), big);
  platform.close_input(input);
}

TEST(Win32Input, OnlyFilesOpenAndAFailureSaysWhy) {
  TempTree tree;
  ASSERT_TRUE(tree.make_dir("sub"));
  ASSERT_TRUE(tree.write("a", "a"));
  Win32Platform platform;
  Directory dir{tree.path(), nullptr};
  for (const char* name : {"sub", "missing", "a:stream", "..\\a", ""}) {
    std::string error;
    InputHandle input = platform.open_file(dir, name, InputAccess::kRead, &error);
    EXPECT_EQ(input, nullptr) << name;
    if (input != nullptr) platform.close_input(input);
    EXPECT_FALSE(error.empty()) << name;
  }
  EXPECT_EQ(platform.open_path(tree.at("sub"), nullptr), nullptr);
  EXPECT_EQ(platform.open_path("NUL", nullptr), nullptr);  // a device, not a file
}

TEST(Win32Input, TheSharedOpenReadsAFileAnotherWriterHolds) {
  TempTree tree;
  ASSERT_TRUE(tree.write("busy.log", "line one\r\n"));
  HANDLE writer =
      CreateFileW(tree.wide("busy.log").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  Win32Platform platform;
  Directory dir{tree.path(), nullptr};
  std::string error;
  // The normal open lets others read only, which a writer already holding the file refuses.
  InputHandle input = platform.open_file(dir, "busy.log", InputAccess::kRead, &error);
  EXPECT_EQ(input, nullptr);
  if (input != nullptr) platform.close_input(input);
  input = platform.open_file_shared(dir, "busy.log", InputAccess::kRead, &error);
  ASSERT_NE(input, nullptr) << error;
  EXPECT_EQ(read_all(platform, input, 4), "line one\r\n");
  platform.close_input(input);
  CloseHandle(writer);
}

TEST(Win32Streams, ListingWorksWhereverTheVolumeKeepsStreams) {
  TempTree tree;
  ASSERT_TRUE(tree.write("carrier", "main data"));
  Win32Platform platform;
  Directory dir{tree.path(), nullptr};
  std::vector<StreamEntry> streams{StreamEntry{}};
  ASSERT_TRUE(platform.list_streams(dir, "carrier", &streams));
  EXPECT_TRUE(streams.empty());  // the main data is no named stream
  EXPECT_FALSE(platform.list_streams(dir, "missing", &streams));
  EXPECT_EQ(platform.open_stream(dir, "carrier", "a:b", InputAccess::kRead), nullptr);
  EXPECT_EQ(platform.open_stream(dir, "carrier", "..\\x", InputAccess::kRead), nullptr);
  EXPECT_TRUE(platform.enable_stream_privileges());
  if (!volume_keeps_streams(tree.wide(""))) {
    GTEST_SKIP() << "this volume keeps no named streams (Wine has none)";
  }
  ASSERT_TRUE(tree.write("carrier:summary", "stream data!"));
  ASSERT_TRUE(platform.list_streams(dir, "carrier", &streams));
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].name, ":summary:$DATA");
  EXPECT_EQ(streams[0].size, 12);
  InputHandle input = platform.open_stream(dir, "carrier", "summary", InputAccess::kRead);
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(read_all(platform, input, 5), "stream data!");
  DirEntry facts;
  ASSERT_TRUE(platform.input_facts(input, &facts));
  EXPECT_EQ(facts.size, 12);  // the stream's own size, not the carrier's 9
  platform.close_input(input);
}
