#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "platform/child_process.h"
#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::string> search_names(Platform& platform, const std::string& pattern) {
  std::vector<std::string> names;
  DirEntry entry;
  SearchHandle search = platform.find_first(pattern, &entry);
  if (search == nullptr) return names;
  do names.push_back(entry.name);
  while (platform.find_next(search, &entry));
  platform.find_close(search);
  return names;
}

bool find_entry(Platform& platform, const std::string& pattern, DirEntry* entry) {
  SearchHandle search = platform.find_first(pattern, entry);
  if (search == nullptr) return false;
  platform.find_close(search);
  return true;
}

void set_times(const std::string& path, time_t access, long access_ns, time_t write,
               long write_ns) {
  struct timespec times[2] = {{access, access_ns}, {write, write_ns}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

FileTime ticks(std::int64_t seconds, std::int64_t hundreds_of_ns) {
  return static_cast<FileTime>((seconds + 11644473600LL) * 10000000LL + hundreds_of_ns);
}

}  // namespace

TEST(DirectorySearch, PatternsSelectNamesInByteOrderAfterTheDots) {
  TempDir dir;
  for (const char* name : {"b.txt", "A.TXT", "c.doc", "README", "x", "\xc3\x89t\xc3\xa9"}) {
    dir.write(name, "1");
  }
  dir.mkdir("sub");
  PosixPlatform platform;
  using Names = std::vector<std::string>;
  Names everything = {".",     "..",  "A.TXT", "README",           "b.txt",
                      "c.doc", "sub", "x",     "\xc3\x89t\xc3\xa9"};
  struct Case {
    const char* pattern;
    Names names;
  } cases[] = {
      {"*.*", everything},
      {"*", everything},
      {"*.txt", {"A.TXT", "b.txt"}},
      {"?.TxT", {"A.TXT", "b.txt"}},
      {"??.txt", {}},
      {"x.*", {"x"}},  // a trailing ".*" also stands for no extension at all
      {"*x", {"x"}},
      {"\xc3\xa9*", {}},                    // no case folding beyond ASCII
      {"??t\xc3?", {"\xc3\x89t\xc3\xa9"}},  // '?' is one byte
      {"readme", {"README"}},
      {"s?b", {"sub"}},
      {".", {"."}},
      {"nothing*", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(search_names(platform, dir.at(c.pattern)), c.names) << c.pattern;
  }
}

TEST(DirectorySearch, ExactNameWinsOverItsCaseVariants) {
  TempDir dir;
  dir.write("readme", "1");
  dir.write("README", "2");
  PosixPlatform platform;
  EXPECT_EQ(search_names(platform, dir.at("readme")), std::vector<std::string>{"readme"});
  EXPECT_EQ(search_names(platform, dir.at("Readme")),
            (std::vector<std::string>{"README", "readme"}));
}

TEST(DirectorySearch, NameWithWildcardCharactersFindsItselfFirst) {
  TempDir dir;
  for (const char* name : {"a0b", "a?b", "a*b", "aab"}) dir.write(name, name);
  PosixPlatform platform;
  using Names = std::vector<std::string>;
  EXPECT_EQ(search_names(platform, dir.at("a?b")), (Names{"a?b", "a*b", "a0b", "aab"}));
  EXPECT_EQ(search_names(platform, dir.at("a*b")), (Names{"a*b", "a0b", "a?b", "aab"}));
}

TEST(DirectorySearch, RootHasNoDotsAndMissingPlacesFindNothing) {
  TempDir dir;
  PosixPlatform platform;
  std::vector<std::string> root = search_names(platform, "/*");
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(std::count(root.begin(), root.end(), "."), 0);
  EXPECT_EQ(std::count(root.begin(), root.end(), ".."), 0);
  EXPECT_TRUE(std::is_sorted(root.begin(), root.end()));
  EXPECT_TRUE(search_names(platform, "/.").empty());
  EXPECT_TRUE(search_names(platform, dir.at("missing/*")).empty());
  EXPECT_TRUE(search_names(platform, dir.path() + "/").empty());
}

TEST(DirectorySearch, EntriesCarryAttributesSizeAndTimes) {
  TempDir dir;
  dir.write("data.bin", "12345");
  dir.write(".hidden", "");
  dir.write("locked", "x");
  dir.mkdir("sub");
  chmod(dir.at("locked").c_str(), 0444);
  set_times(dir.at("data.bin"), 1000000000, 123456789, 1200000000, 500000000);
  PosixPlatform platform;
  DirEntry entry;
  ASSERT_TRUE(find_entry(platform, dir.at("data.bin"), &entry));
  EXPECT_EQ(entry.attributes, kAttrNormal);
  EXPECT_EQ(entry.size, 5);
  EXPECT_EQ(entry.last_access, ticks(1000000000, 1234567));
  EXPECT_EQ(entry.last_write, ticks(1200000000, 5000000));
  EXPECT_TRUE(entry.short_name.empty());
  FileTime now = ticks(std::time(nullptr), 0);
  FileTime hour = 3600 * kFileTimeTicksPerSecond;
  if (entry.creation != 0) {  // 0 where the file system keeps no birth time
    EXPECT_GT(entry.creation, now - hour);
    EXPECT_LT(entry.creation, now + hour);
  }
  ASSERT_TRUE(find_entry(platform, dir.at(".hidden"), &entry));
  EXPECT_EQ(entry.attributes, kAttrHidden);
  ASSERT_TRUE(find_entry(platform, dir.at("locked"), &entry));
  EXPECT_EQ(entry.attributes, kAttrReadOnly);
  ASSERT_TRUE(find_entry(platform, dir.at("sub"), &entry));
  EXPECT_EQ(entry.attributes, kAttrDirectory);
  ASSERT_TRUE(find_entry(platform, dir.at("sub/*"), &entry));
  EXPECT_EQ(entry.name, ".");
  EXPECT_EQ(entry.attributes, kAttrDirectory);  // "." is never hidden
}

TEST(DirectorySearch, FileLinksShowTheirTargetOthersAreLeftOut) {
  TempDir dir;
  dir.write("real.txt", "0123456789");
  dir.mkdir("sub");
  set_times(dir.at("real.txt"), 1100000000, 0, 1300000000, 0);
  ASSERT_EQ(symlink("real.txt", dir.at("link.txt").c_str()), 0);
  ASSERT_EQ(symlink("sub", dir.at("dirlink").c_str()), 0);
  ASSERT_EQ(symlink("gone", dir.at("dangling").c_str()), 0);
  PosixPlatform platform;
  EXPECT_EQ(search_names(platform, dir.at("*")),
            (std::vector<std::string>{".", "..", "link.txt", "real.txt", "sub"}));
  DirEntry entry;
  ASSERT_TRUE(find_entry(platform, dir.at("link.txt"), &entry));
  EXPECT_EQ(entry.name, "link.txt");
  EXPECT_EQ(entry.size, 10);
  EXPECT_EQ(entry.last_write, ticks(1300000000, 0));
  EXPECT_FALSE(find_entry(platform, dir.at("dirlink"), &entry));
  EXPECT_FALSE(find_entry(platform, dir.at("dangling"), &entry));
}

TEST(DirectorySearch, SpecialFilesAreNeverListedNorOpened) {
  TempDir dir;
  dir.write("plain", "1");
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0644), 0);
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string sock_path = dir.at("sock");
  ASSERT_LT(sock_path.size(), sizeof(address.sun_path));
  sock_path.copy(address.sun_path, sock_path.size());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  // In a child, so that a search that opened the FIFO would be killed instead of hanging.
  int status = run_in_child([&] {
    PosixPlatform platform;
    DirEntry entry;
    if (search_names(platform, dir.at("*")) != std::vector<std::string>{".", "..", "plain"}) {
      return 1;
    }
    return find_entry(platform, dir.at("pipe"), &entry) ? 2 : 0;
  });
  close(sock);
  EXPECT_EQ(status, 0);
}
