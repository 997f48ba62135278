#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <ctime>

#include "platform/child_process.h"
#include "platform/open_directory.h"
#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::string> listed_names(const DirListing& listing) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < listing.size(); ++i) names.emplace_back(listing.name(i));
  return names;
}

std::vector<std::string> list_names(Platform& platform, const Directory& dir) {
  DirListing listing;
  std::string error;
  EXPECT_TRUE(platform.list_directory(dir, &listing, &error)) << dir.path << ": " << error;
  return listed_names(listing);
}

// The names a listing marks as directories.
std::vector<std::string> listed_directories(const DirListing& listing) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < listing.size(); ++i) {
    if (listing.is_directory(i)) names.emplace_back(listing.name(i));
  }
  return names;
}

void set_times(const std::string& path, time_t access, long access_ns, time_t write,
               long write_ns) {
  struct timespec times[2] = {{access, access_ns}, {write, write_ns}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

FileTime ticks(std::int64_t seconds, std::int64_t hundreds_of_ns) {
  return static_cast<FileTime>((seconds + 11644473600LL) * 10000000LL + hundreds_of_ns);
}

// A chain of directories below `root`, each called `name`, with a file at the bottom: made
// and removed through descriptors, since its whole path is longer than a path call accepts.
class DeepChain {
 public:
  DeepChain(const std::string& root, std::string name, int depth, const std::string& content)
      : root_(root), name_(std::move(name)), depth_(depth) {
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < depth && fd >= 0; ++level) {
      mkdirat(fd, name_.c_str(), 0755);
      int below = openat(fd, name_.c_str(), O_RDONLY | O_DIRECTORY);
      close(fd);
      fd = below;
    }
    int file = fd < 0 ? -1 : openat(fd, "bottom.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    made_ = file >= 0 &&
            write(file, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    if (file >= 0) close(file);
    if (fd >= 0) close(fd);
  }
  ~DeepChain() {
    std::vector<int> fds = {open(root_.c_str(), O_RDONLY | O_DIRECTORY)};
    while (static_cast<int>(fds.size()) <= depth_ && fds.back() >= 0) {
      fds.push_back(openat(fds.back(), name_.c_str(), O_RDONLY | O_DIRECTORY));
    }
    if (fds.back() >= 0) unlinkat(fds.back(), "bottom.txt", 0);
    for (std::size_t level = fds.size() - 1; level > 0; --level) {
      if (fds[level] >= 0) close(fds[level]);
      unlinkat(fds[level - 1], name_.c_str(), AT_REMOVEDIR);
    }
    close(fds[0]);
  }
  bool made() const { return made_; }

 private:
  std::string root_;
  std::string name_;
  int depth_;
  bool made_ = false;
};

}  // namespace

TEST(Listing, EveryEntryButTheDotsInByteOrderHoweverOftenListedAndTheRootMarked) {
  TempDir dir;
  for (const char* name : {"b.txt", "A.TXT", "c.doc", ".hidden", "x", "\xc3\x89t\xc3\xa9"}) {
    dir.write(name, "1");
  }
  dir.mkdir("sub");
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  ASSERT_TRUE(open.is_open()) << open.error();
  std::vector<std::string> expected = {".hidden",          "A.TXT", "b.txt", "c.doc", "sub", "x",
                                       "\xc3\x89t\xc3\xa9"};
  // The same handle listed again starts from the beginning, not where the last reading ended.
  EXPECT_EQ(list_names(platform, open.dir()), expected);
  EXPECT_EQ(list_names(platform, open.dir()), expected);
  // Without a handle, the path is listed.
  EXPECT_EQ(list_names(platform, Directory{open.dir().path, nullptr}), expected);
  // Many entries, more than one read of the directory can hold.
  for (int i = 0; i < 1500; ++i) dir.write("sub/entry-with-a-long-name-" + std::to_string(i), "");
  OpenDirectory sub(platform, dir.at("sub"));
  std::vector<std::string> many = list_names(platform, sub.dir());
  EXPECT_EQ(many.size(), 1500u);
  EXPECT_TRUE(std::is_sorted(many.begin(), many.end()));
  EXPECT_EQ(std::adjacent_find(many.begin(), many.end()), many.end());
  // Only the file-system root is marked, however it is named.
  DirListing listing;
  ASSERT_TRUE(platform.list_directory(open.dir(), &listing, nullptr));
  EXPECT_FALSE(listing.is_root);
  OpenDirectory root(platform, "/.");
  ASSERT_TRUE(platform.list_directory(root.dir(), &listing, nullptr));
  EXPECT_TRUE(listing.is_root);
}

// The facts of a file come from one look-up or from the open file, and both say the same.
TEST(Listing, LookUpsAndOpenFilesGiveAttributesSizeAndTimesToTheNanosecond) {
  TempDir dir;
  dir.write("data.bin", "12345");
  dir.write(".hidden", "");
  dir.write("locked", "x");
  dir.mkdir("sub");
  chmod(dir.at("locked").c_str(), 0444);
  set_times(dir.at("data.bin"), 1000000000, 123456789, 1200000000, 500000007);
  set_times(dir.at("locked"), -86400, 99, 0, 100);
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  DirListing listing;
  ASSERT_TRUE(platform.list_directory(open.dir(), &listing, nullptr));
  EXPECT_EQ(listed_directories(listing), std::vector<std::string>{"sub"});
  struct Case {
    const char* name;
    std::uint32_t attributes;
    std::int64_t size;
    FileTime access;
    int access_ns;
    FileTime write;
    int write_ns;
  } cases[] = {
      {"data.bin", kAttrNormal, 5, ticks(1000000000, 1234567), 89, ticks(1200000000, 5000000), 7},
      {"locked", kAttrReadOnly, 1, ticks(-86400, 0), 99, ticks(0, 1), 0},
      {".hidden", kAttrHidden, 0, 0, -1, 0, -1},
      {"sub", kAttrDirectory, 0, 0, -1, 0, -1},
  };
  FileTime now = ticks(std::time(nullptr), 0);
  FileTime hour = 3600 * kFileTimeTicksPerSecond;
  for (const Case& c : cases) {
    DirEntry looked;
    ASSERT_EQ(platform.entry_facts(open.dir(), c.name, &looked), Lookup::kFound) << c.name;
    std::vector<DirEntry> facts = {looked};
    InputHandle input = platform.open_file(open.dir(), c.name, InputAccess::kRead, nullptr);
    DirEntry opened;
    // A directory opens, and is no input: its facts are refused.
    EXPECT_EQ(input != nullptr && platform.input_facts(input, &opened),
              (c.attributes & kAttrDirectory) == 0)
        << c.name;
    if ((c.attributes & kAttrDirectory) == 0) facts.push_back(opened);
    platform.close_input(input);
    for (const DirEntry& entry : facts) {
      EXPECT_EQ(entry.name, c.name);
      EXPECT_EQ(entry.attributes, c.attributes) << c.name;
      EXPECT_EQ(entry.size, c.size) << c.name;
      EXPECT_TRUE(entry.short_name.empty());
      EXPECT_LT(entry.creation_ns, 100) << c.name;
      if (c.access_ns >= 0) {
        EXPECT_EQ(entry.last_access, c.access) << c.name;
        EXPECT_EQ(entry.last_access_ns, c.access_ns) << c.name;
        EXPECT_EQ(entry.last_write, c.write) << c.name;
        EXPECT_EQ(entry.last_write_ns, c.write_ns) << c.name;
      }
      if (entry.creation != 0) {  // 0 where the file system keeps no birth time
        EXPECT_GT(entry.creation, now - hour) << c.name;
        EXPECT_LT(entry.creation, now + hour) << c.name;
      }
    }
  }
}

TEST(Listing, FileLinksShowAsTheirTargetOthersAreLeftOut) {
  TempDir dir;
  dir.write("real.txt", "0123456789");
  dir.mkdir("sub");
  set_times(dir.at("real.txt"), 1100000000, 0, 1300000000, 42);
  ASSERT_EQ(symlink("real.txt", dir.at("link.txt").c_str()), 0);
  ASSERT_EQ(symlink("sub", dir.at("dirlink").c_str()), 0);
  ASSERT_EQ(symlink("gone", dir.at("dangling").c_str()), 0);
  ASSERT_EQ(symlink("loop", dir.at("loop").c_str()), 0);
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  DirListing listing;
  ASSERT_TRUE(platform.list_directory(open.dir(), &listing, nullptr));
  EXPECT_EQ(listed_names(listing), (std::vector<std::string>{"link.txt", "real.txt", "sub"}));
  EXPECT_EQ(listed_directories(listing), std::vector<std::string>{"sub"});
  EXPECT_TRUE(listing.unreadable.empty());
  DirEntry link;
  ASSERT_EQ(platform.entry_facts(open.dir(), "link.txt", &link), Lookup::kFound);
  EXPECT_EQ(link.name, "link.txt");
  EXPECT_EQ(link.size, 10);
  EXPECT_EQ(link.last_write, ticks(1300000000, 0));
  EXPECT_EQ(link.last_write_ns, 42);
  for (const char* name : {"dangling", "loop", "missing"}) {
    EXPECT_EQ(platform.entry_facts(open.dir(), name, &link), Lookup::kGone) << name;
  }
}

TEST(Listing, SpecialFilesAreNeverListedNorOpened) {
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
  // In a child, so that a listing that opened the FIFO would be killed instead of hanging.
  int status = run_in_child([&] {
    PosixPlatform platform;
    OpenDirectory open(platform, dir.path());
    DirListing listing;
    if (!platform.list_directory(open.dir(), &listing, nullptr)) return 1;
    if (listed_names(listing) != std::vector<std::string>{"plain"}) return 2;
    DirEntry facts;
    return platform.entry_facts(open.dir(), "pipe", &facts) != Lookup::kGone ? 3 : 0;
  });
  close(sock);
  EXPECT_EQ(status, 0);
}

// Reading a directory's names needs no look at its entries: in a directory others may read
// but not search, its files are listed all the same (each then cannot be examined), and only
// a link, whose kind the directory leaves open, is reported unreadable.
TEST(Listing, NamesAreListedWithoutALookAtEachEntryAndUnreadableDirectoriesSaySo) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  dir.write("listable/a", "1");
  dir.write("listable/b", "2");
  dir.mkdir("listable/d");
  ASSERT_EQ(symlink("a", dir.at("listable/l").c_str()), 0);
  dir.mkdir("closed");
  ASSERT_EQ(chmod(dir.at("listable").c_str(), 0744), 0);  // others may read, not search
  ASSERT_EQ(chmod(dir.at("closed").c_str(), 0700), 0);
  // Another user, since the permission bits do not hold for root.
  int status = run_in_child([&] {
    if (setgid(65534) != 0 || setuid(65534) != 0) return 9;
    PosixPlatform platform;
    OpenDirectory listable(platform, dir.at("listable"));
    DirListing listing;
    std::string error;
    if (!platform.list_directory(listable.dir(), &listing, &error)) return 1;
    if (listed_names(listing) != std::vector<std::string>{"a", "b", "d"}) return 2;
    if (listed_directories(listing) != std::vector<std::string>{"d"}) return 3;
    if (listing.unreadable != std::vector<std::string>{"l"}) return 4;
    DirEntry facts;
    if (platform.entry_facts(listable.dir(), "a", &facts) != Lookup::kUnreadable) return 5;
    OpenDirectory closed(platform, dir.at("closed"));
    if (closed.is_open() || closed.error() != "Permission denied") return 6;
    return platform.list_directory(Directory{dir.at("closed/"), nullptr}, &listing, &error) ||
                   error != "Permission denied"
               ? 7
               : 0;
  });
  EXPECT_EQ(status, 0);
  PosixPlatform platform;
  DirListing listing;
  std::string error;
  EXPECT_FALSE(platform.list_directory(Directory{dir.at("missing/"), nullptr}, &listing, &error));
  EXPECT_EQ(error, "No such file or directory");
}

TEST(Listing, SubdirectoriesAreReachedThroughTheirParentOnly) {
  TempDir dir;
  dir.write("sub/inner/file", "x");
  dir.write("file", "x");
  ASSERT_EQ(symlink("sub", dir.at("dirlink").c_str()), 0);
  PosixPlatform platform;
  OpenDirectory top(platform, dir.path());
  std::string error;
  DirHandle sub = platform.open_subdirectory(top.dir(), "sub", &error);
  ASSERT_NE(sub, nullptr) << error;
  DirHandle inner =
      platform.open_subdirectory(Directory{top.dir().path + "sub/", sub}, "inner", &error);
  ASSERT_NE(inner, nullptr) << error;
  EXPECT_EQ(list_names(platform, Directory{top.dir().path + "sub/inner/", inner}),
            std::vector<std::string>{"file"});
  platform.close_directory(inner);
  platform.close_directory(sub);
  // Without a handle the parent's path stands in.
  sub = platform.open_subdirectory(Directory{top.dir().path, nullptr}, "sub", &error);
  EXPECT_NE(sub, nullptr) << error;
  platform.close_directory(sub);
  // A link put where a directory was listed is not followed out of the tree.
  for (const char* name : {"dirlink", "file", "missing", ""}) {
    error.clear();
    EXPECT_EQ(platform.open_subdirectory(top.dir(), name, &error), nullptr) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
  EXPECT_EQ(platform.open_directory(dir.at("missing"), &error), nullptr);
  EXPECT_EQ(error, "No such file or directory");
}

TEST(Listing, TreesDeeperThanTheLongestPathAreWalkedWhole) {
  TempDir dir;
  std::string name(200, 'd');
  constexpr int kDepth = 25;  // 5,000 bytes of path below the scratch directory
  static_assert(kDepth * 201 > PATH_MAX);
  DeepChain chain(dir.path(), name, kDepth, "at the bottom");
  ASSERT_TRUE(chain.made());
  PosixPlatform platform;
  OpenDirectory top(platform, dir.path());
  Directory current = top.dir();
  std::vector<DirHandle> opened;
  for (int level = 0; level < kDepth; ++level) {
    ASSERT_EQ(list_names(platform, current), std::vector<std::string>{name}) << level;
    std::string error;
    DirHandle below = platform.open_subdirectory(current, name, &error);
    ASSERT_NE(below, nullptr) << level << ": " << error;
    opened.push_back(below);
    current = Directory{current.path + name + "/", below};
  }
  EXPECT_GT(current.path.size(), static_cast<std::size_t>(PATH_MAX));
  DirListing listing;
  ASSERT_TRUE(platform.list_directory(current, &listing, nullptr));
  ASSERT_EQ(listed_names(listing), std::vector<std::string>{"bottom.txt"});
  DirEntry facts;
  ASSERT_EQ(platform.entry_facts(current, "bottom.txt", &facts), Lookup::kFound);
  EXPECT_EQ(facts.size, 13);
  std::string error;
  InputHandle input = platform.open_file(current, "bottom.txt", InputAccess::kRead, &error);
  ASSERT_NE(input, nullptr) << error;
  char buffer[64] = {};
  EXPECT_EQ(platform.read_input(input, buffer, sizeof buffer), 13);
  EXPECT_STREQ(buffer, "at the bottom");
  platform.close_input(input);
  for (auto handle = opened.rbegin(); handle != opened.rend(); ++handle) {
    platform.close_directory(*handle);
  }
}

TEST(Listing, EntryFactsAreTheFactsAsTheyAreNow) {
  TempDir dir;
  dir.write("f", "abc");
  dir.mkdir(".d");
  ASSERT_EQ(symlink("f", dir.at("link").c_str()), 0);
  set_times(dir.at("f"), 1000000000, 1, 1100000000, 123456789);
  PosixPlatform platform;
  OpenDirectory open(platform, dir.path());
  DirEntry facts;
  ASSERT_EQ(platform.entry_facts(open.dir(), "f", &facts), Lookup::kFound);
  EXPECT_EQ(facts.name, "f");
  EXPECT_EQ(facts.size, 3);
  EXPECT_EQ(facts.last_write, ticks(1100000000, 1234567));
  EXPECT_EQ(facts.last_write_ns, 89);
  dir.write("f", "abcdef");
  ASSERT_EQ(platform.entry_facts(open.dir(), "link", &facts), Lookup::kFound);
  EXPECT_EQ(facts.size, 6);
  EXPECT_NE(facts.last_write, ticks(1100000000, 1234567));
  OpenDirectory hidden(platform, dir.at(".d"));
  ASSERT_EQ(platform.entry_facts(hidden.dir(), "", &facts), Lookup::kFound);  // the directory
  EXPECT_EQ(facts.attributes, kAttrDirectory | kAttrHidden);
  // Without a handle, with or without the separator at the end of the directory's path.
  for (const std::string& path : {dir.path() + "/", dir.path()}) {
    ASSERT_EQ(platform.entry_facts(Directory{path, nullptr}, "f", &facts), Lookup::kFound) << path;
    EXPECT_EQ(facts.size, 6);
  }
  EXPECT_EQ(platform.entry_facts(open.dir(), "missing", &facts), Lookup::kGone);
}
