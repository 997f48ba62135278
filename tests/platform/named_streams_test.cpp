#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/child_process.h"
#include "platform/open_directory.h"
#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::pair<std::string, std::int64_t>> listed(Platform& platform, const Directory& dir,
                                                         const std::string& name) {
  std::vector<StreamEntry> streams;
  std::vector<std::pair<std::string, std::int64_t>> result;
  EXPECT_TRUE(platform.list_streams(dir, name, &streams)) << dir.path << name;
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

std::string content_of(Platform& platform, InputHandle input) {
  std::string data;
  if (input == nullptr) return data;
  char buffer[4096];
  long long got = 0;
  while ((got = platform.read_input(input, buffer, sizeof buffer)) > 0) data.append(buffer, got);
  platform.close_input(input);
  return data;
}

// The split of a path into its directory and its name, with the directory opened.
struct Entry {
  Entry(Platform& platform, const std::string& path)
      : open(platform, path.substr(0, path.rfind('/'))), name(path.substr(path.rfind('/') + 1)) {}
  OpenDirectory open;
  std::string name;
};

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
    Entry entry(platform, file);
    std::vector<StreamEntry> streams;
    ASSERT_TRUE(platform.list_streams(entry.open.dir(), entry.name, &streams));
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].size, static_cast<std::int64_t>(value.size())) << file;
    EXPECT_EQ(content_of(platform, platform.open_stream(entry.open.dir(), entry.name, "big",
                                                        InputAccess::kRead)),
              value)
        << file;
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
  OpenDirectory open(platform, dir.path());
  using Listing = std::vector<std::pair<std::string, std::int64_t>>;
  EXPECT_EQ(listed(platform, open.dir(), "f"), (Listing{
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
  OpenDirectory open(platform, dir.path());
  OpenDirectory d(platform, dir.at("d"));
  // Named through its parent, or as the directory itself.
  for (const auto& streams : {listed(platform, open.dir(), "d"), listed(platform, d.dir(), "")}) {
    ASSERT_EQ(streams.size(), 25u);
    EXPECT_EQ(streams.front().first, ":s100:$DATA");
    EXPECT_EQ(streams.back().first, ":s124:$DATA");
  }
}

TEST(NamedStreams, NoStreamsMissingPathsAndFileSystemsWithoutThem) {
  TempDir dir;
  dir.write("plain", "");
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  std::vector<StreamEntry> streams = {StreamEntry{}};
  EXPECT_TRUE(platform.list_streams(open.dir(), "plain", &streams));
  EXPECT_TRUE(streams.empty());
  // proc keeps no user attributes at all.
  OpenDirectory proc(platform, "/proc/self");
  EXPECT_TRUE(platform.list_streams(proc.dir(), "status", &streams));
  EXPECT_TRUE(streams.empty());
  EXPECT_FALSE(platform.list_streams(open.dir(), "missing", &streams));
  EXPECT_FALSE(platform.list_streams(Directory{dir.at("missing/"), nullptr}, "", &streams));
  EXPECT_TRUE(platform.enable_stream_privileges());
}

TEST(NamedStreams, AFileWhoseNameHoldsAColonIsNeverTakenForAStream) {
  TempDir dir;
  dir.write("a", "the carrier");
  dir.write("a:b", "the sibling file");
  ASSERT_TRUE(set_xattr(dir.at("a"), "user.b", "the stream"));
  ASSERT_TRUE(set_xattr(dir.at("a:b"), "user.c", "the sibling's stream"));
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  EXPECT_EQ(content_of(platform, platform.open_stream(open.dir(), "a", "b", InputAccess::kRead)),
            "the stream");
  EXPECT_EQ(
      content_of(platform, platform.open_file(open.dir(), "a:b", InputAccess::kRead, nullptr)),
      "the sibling file");
  EXPECT_EQ(content_of(platform, platform.open_stream(open.dir(), "a:b", "c", InputAccess::kRead)),
            "the sibling's stream");
  EXPECT_EQ(platform.open_stream(open.dir(), "a", "b:c", InputAccess::kRead), nullptr);
  EXPECT_EQ(platform.open_stream(open.dir(), "a", "c", InputAccess::kRead), nullptr);
  using Listing = std::vector<std::pair<std::string, std::int64_t>>;
  EXPECT_EQ(listed(platform, open.dir(), "a"), (Listing{{":b:$DATA", 10}}));
  EXPECT_EQ(listed(platform, open.dir(), "a:b"), (Listing{{":c:$DATA", 20}}));
}

TEST(NamedStreams, ReadByPathWhenTheCarrierCannotBeOpened) {
  TempDir dir;
  dir.write("f", "data");
  ASSERT_TRUE(set_xattr(dir.at("f"), "user.s", "by path"));
  ASSERT_TRUE(set_xattr(dir.at("f"), "user.DosStream.t:$DATA", std::string("served\0", 7)));
  // A process out of descriptors cannot open the carrier; its attributes are still reached,
  // through the directory's descriptor and, without that, through the pasted path.
  int status = run_in_child([&] {
    PosixPlatform platform;
    OpenDirectory open(platform, dir.path());
    if (!open.is_open()) return 9;
    rlimit limit = {static_cast<rlim_t>(open.dir().handle->fd + 1),
                    static_cast<rlim_t>(open.dir().handle->fd + 1)};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 9;
    for (const Directory& through : {open.dir(), Directory{open.dir().path, nullptr}}) {
      if (content_of(platform, platform.open_stream(through, "f", "s", InputAccess::kRead)) !=
          "by path")
        return 1;
      InputHandle input = platform.open_stream(through, "f", "t", InputAccess::kRead);
      DirEntry facts;
      if (!platform.input_facts(input, &facts) || facts.size != 6) return 2;
      if (content_of(platform, input) != "served") return 3;
      std::vector<StreamEntry> streams;
      if (!platform.list_streams(through, "f", &streams) || streams.size() != 2) return 4;
      if (platform.open_stream(through, "missing", "s", InputAccess::kRead) != nullptr) return 5;
    }
    return 0;
  });
  EXPECT_EQ(status, 0);
}
