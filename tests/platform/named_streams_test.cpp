#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::pair<std::string, std::int64_t>> listed(Platform& platform,
                                                         const std::string& path) {
  std::vector<StreamEntry> streams;
  std::vector<std::pair<std::string, std::int64_t>> result;
  EXPECT_TRUE(platform.list_streams(path, &streams)) << path;
  for (const StreamEntry& s : streams) {
    EXPECT_EQ(s.type, 1u);
    EXPECT_EQ(s.attributes, 0u);
    result.emplace_back(s.name, s.size);
  }
  return result;
}

// Sets the largest value among a few sizes that the file system accepts (ext4 keeps at most
// a block unless it stores large values in inodes of their own; tmpfs takes 64 KiB).
std::string set_largest_attribute(const std::string& path, const std::string& name) {
  for (std::size_t size : {65536, 60000, 16384, 3900}) {
    std::string value(size, '\0');
    for (std::size_t i = 0; i < size; ++i) value[i] = static_cast<char>(i * 7 + i / 251);
    if (setxattr(path.c_str(), name.c_str(), value.data(), size, 0) == 0) return value;
  }
  return "";
}

std::string read_stream(Platform& platform, const std::string& path) {
  std::string data;
  InputHandle input = platform.open_input(path);
  if (input == nullptr) return data;
  char buffer[4096];
  long long got = 0;
  while ((got = platform.read_input(input, buffer, sizeof buffer)) > 0) data.append(buffer, got);
  platform.close_input(input);
  return data;
}

}  // namespace

TEST(NamedStreams, LargestValuesAreListedAndReadWhole) {
  TempDir dir;
  dir.write("f", "");
  std::vector<std::string> files = {dir.at("f")};
  // tmpfs holds the largest values; use it too when the machine has one.
  char shm_name[] = "/dev/shm/tallysum-test-XXXXXX";
  int shm_fd = mkstemp(shm_name);
  if (shm_fd >= 0) files.push_back(shm_name);
  PosixPlatform platform;
  for (const std::string& file : files) {
    std::string value = set_largest_attribute(file, "user.big");
    ASSERT_FALSE(value.empty()) << file;
    std::vector<StreamEntry> streams;
    ASSERT_TRUE(platform.list_streams(file, &streams));
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].size, static_cast<std::int64_t>(value.size())) << file;
    EXPECT_EQ(read_stream(platform, file + ":big"), value) << file;
  }
  if (shm_fd >= 0) {
    close(shm_fd);
    unlink(shm_name);
  }
}

TEST(NamedStreams, UserAttributesAreListedAsDataStreams) {
  TempDir dir;
  std::string file = dir.at("f");
  dir.write("f", "data");
  ASSERT_TRUE(set_xattr(file, "user.summary", "abc"));
  ASSERT_TRUE(
      set_xattr(file, "user.DosStream.Zone.Identifier:$DATA", std::string("[ZoneTransfer]\0", 15)));
  ASSERT_TRUE(set_xattr(file, "user.with space:and colon", "x"));
  ASSERT_TRUE(set_xattr(file, "user.\xff\xfe", ""));
  // Only user attributes are streams.
  ASSERT_TRUE(set_xattr(file, "trusted.not_a_stream", "hidden"));
  PosixPlatform platform;
  using Listing = std::vector<std::pair<std::string, std::int64_t>>;
  EXPECT_EQ(listed(platform, file), (Listing{
                                        {":Zone.Identifier:$DATA", 14},
                                        {":summary:$DATA", 3},
                                        {":with space:and colon:$DATA", 1},
                                        {":\xff\xfe:$DATA", 0},
                                    }));
}

TEST(NamedStreams, ManyStreamsOnADirectoryAreAllListed) {
  TempDir dir;
  dir.mkdir("d");
  for (int i = 0; i < 25; ++i) {
    ASSERT_TRUE(set_xattr(dir.at("d"), "user.s" + std::to_string(100 + i), "v"));
  }
  PosixPlatform platform;
  auto streams = listed(platform, dir.at("d"));
  ASSERT_EQ(streams.size(), 25u);
  EXPECT_EQ(streams.front().first, ":s100:$DATA");
  EXPECT_EQ(streams.back().first, ":s124:$DATA");
}

TEST(NamedStreams, NoStreamsMissingPathsAndFileSystemsWithoutThem) {
  TempDir dir;
  dir.write("plain", "");
  PosixPlatform platform;
  std::vector<StreamEntry> streams = {StreamEntry{}};
  EXPECT_TRUE(platform.list_streams(dir.at("plain"), &streams));
  EXPECT_TRUE(streams.empty());
  // proc keeps no user attributes at all.
  EXPECT_TRUE(platform.list_streams("/proc/self/status", &streams));
  EXPECT_TRUE(streams.empty());
  EXPECT_FALSE(platform.list_streams(dir.at("missing"), &streams));
  EXPECT_TRUE(platform.enable_stream_privileges());
}
