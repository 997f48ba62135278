#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win32/win32_platform.h"
#include "temp_tree.h"

namespace {

std::vector<std::string> names_of(const DirListing& listing) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < listing.size(); ++i) names.emplace_back(listing.name(i));
  return names;
}

// The names of a directory in the order the system's own search gives them.
std::vector<std::string> searched_names(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((win32::to_wide(path) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = win32::to_utf8(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// What a directory lists, through a handle the platform opened.
DirListing listing_of(Win32Platform& platform, const std::string& path) {
  DirListing listing;
  std::string error;
  DirHandle handle = platform.open_directory(path, &error);
  EXPECT_NE(handle, nullptr) << path << ": " << error;
  if (handle == nullptr) return listing;
  EXPECT_TRUE(platform.list_directory(Directory{path, handle}, &listing, &error)) << error;
  platform.close_directory(handle);
  return listing;
}

}  // namespace

// The order is the file system's own (NTFS's, which its users and their catalogues know), not
// one of the program's making; the kind of each entry comes with its name.
TEST(Win32Directories, ListsEveryEntryButTheDotsInTheSystemsOrder) {
  TempTree tree;
  const std::vector<std::string> names = {"Zeta.txt",
                                          "alpha.txt",
                                          "\xC3\x89"
                                          "clair",
                                          "\xE6\x97\xA5\xE6\x9C\xAC.dat",
                                          "\xF0\x9F\x98\x80",
                                          "mid.txt",
                                          "Beta.txt"};
  for (const std::string& name : names) ASSERT_TRUE(tree.write(name, name)) << name;
  ASSERT_TRUE(tree.make_dir("beta"));
  Win32Platform platform;
  DirListing listing = listing_of(platform, tree.path());
  EXPECT_EQ(names_of(listing), searched_names(tree.path()));
  EXPECT_EQ(listing.size(), names.size() + 1);
  EXPECT_FALSE(listing.is_root);
  EXPECT_TRUE(listing.unreadable.empty());
  for (std::size_t i = 0; i < listing.size(); ++i) {
    EXPECT_EQ(listing.is_directory(i), listing.name(i) == "beta") << listing.name(i);
  }
}

TEST(Win32Directories, NamesOutsideTheCodePageOpenByTheNameListed) {
  TempTree tree;
  const std::string name = "\xCE\xA9mega-\xE6\x97\xA5\xE6\x9C\xAC-\xF0\x9F\x98\x80.txt";
  ASSERT_TRUE(tree.write(name, "content"));
  Win32Platform platform;
  DirListing listing = listing_of(platform, tree.path());
  ASSERT_EQ(listing.size(), 1u);
  EXPECT_EQ(listing.name(0), name);
  std::string error;
  InputHandle input =
      platform.open_file(Directory{tree.path(), nullptr}, name, InputAccess::kRead, &error);
  ASSERT_NE(input, nullptr) << error;
  char buffer[16] = {};
  EXPECT_EQ(platform.read_input(input, buffer, sizeof buffer), 7);
  EXPECT_EQ(std::string(buffer, 7), "content");
  platform.close_input(input);
  EXPECT_EQ(platform.find_name_ignoring_case(tree.path(),
                                             "\xCE\xA9MEGA-\xE6\x97\xA5\xE6\x9C\xAC-"
                                             "\xF0\x9F\x98\x80.TXT"),
            name);
}

TEST(Win32Directories, ATreeDeeperThanThePathLimitIsWalkedThroughItsDirectories) {
  TempTree tree;
  const std::string part(60, 'd');
  std::string relative;
  for (int depth = 0; depth < 6; ++depth) {
    relative += (depth == 0 ? "" : "\\") + part;
    ASSERT_TRUE(tree.make_dir(relative)) << relative.size();
  }
  ASSERT_TRUE(tree.write(relative + "\\deep.txt", "at the bottom"));
  ASSERT_GT(tree.at(relative).size(), 300u);

  Win32Platform platform;
  std::string error;
  Directory dir{tree.path(), platform.open_directory(tree.path(), &error)};
  ASSERT_NE(dir.handle, nullptr) << error;
  for (int depth = 0; depth < 6; ++depth) {
    DirHandle sub = platform.open_subdirectory(dir, part, &error);
    ASSERT_NE(sub, nullptr) << "depth " << depth << ": " << error;
    platform.close_directory(dir.handle);
    dir = Directory{dir.path + part + "\\", sub};
  }
  DirListing listing;
  ASSERT_TRUE(platform.list_directory(dir, &listing, &error)) << error;
  ASSERT_EQ(names_of(listing), std::vector<std::string>{"deep.txt"});
  DirEntry facts;
  ASSERT_EQ(platform.entry_facts(dir, "deep.txt", &facts), Lookup::kFound);
  EXPECT_EQ(facts.size, 13);
  InputHandle input = platform.open_file(dir, "deep.txt", InputAccess::kRead, &error);
  ASSERT_NE(input, nullptr) << error;
  std::string content(32, '\0');
  content.resize(static_cast<std::size_t>(platform.read_input(input, content.data(), 32)));
  EXPECT_EQ(content, "at the bottom");
  platform.close_input(input);
  platform.close_directory(dir.handle);
  // The long path as text reaches the same directory.
  EXPECT_TRUE(platform.is_directory(tree.at(relative)));
}

TEST(Win32Directories, EntryFactsOfAFileAndOfTheDirectoryItself) {
  TempTree tree;
  ASSERT_TRUE(tree.write("file.bin", std::string(1000, 'x')));
  ASSERT_TRUE(tree.make_dir("sub"));
  Win32Platform platform;
  Directory dir{tree.path(), nullptr};  // no handle: reached through the path
  DirEntry facts;
  ASSERT_EQ(platform.entry_facts(dir, "FILE.BIN", &facts), Lookup::kFound);
  EXPECT_EQ(facts.name, "file.bin");  // the name as the disk has it
  EXPECT_EQ(facts.size, 1000);
  EXPECT_EQ(facts.attributes & kAttrDirectory, 0u);
  ASSERT_EQ(platform.entry_facts(dir, "", &facts), Lookup::kFound);
  EXPECT_NE(facts.attributes & kAttrDirectory, 0u);
  EXPECT_EQ(facts.size, 0);
  EXPECT_EQ(platform.entry_facts(dir, "missing", &facts), Lookup::kGone);
  EXPECT_NE(platform.entry_facts(dir, "sub\\..\\file.bin", &facts), Lookup::kFound);
  EXPECT_NE(platform.entry_facts(dir, "*.bin", &facts), Lookup::kFound);
}

TEST(Win32Directories, WhatCannotBeOpenedSaysWhy) {
  TempTree tree;
  ASSERT_TRUE(tree.write("file", "x"));
  Win32Platform platform;
  std::string error;
  EXPECT_EQ(platform.open_directory(tree.at("missing"), &error), nullptr);
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_EQ(platform.open_directory(tree.at("file"), &error), nullptr);
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_EQ(platform.open_subdirectory(Directory{tree.path(), nullptr}, "..", &error), nullptr);
  EXPECT_FALSE(error.empty());
  DirListing listing;
  EXPECT_FALSE(platform.list_directory(Directory{tree.at("missing\\"), nullptr}, &listing, &error));
}

TEST(Win32Directories, ADriveRootHasNoDotEntries) {
  TempTree tree;
  std::string drive = tree.path().substr(0, 3);  // "C:\"
  ASSERT_EQ(drive[1], ':');
  Win32Platform platform;
  DirListing listing = listing_of(platform, drive);
  EXPECT_TRUE(listing.is_root);
  EXPECT_NE(listing.size(), 0u);
  for (const std::string& name : names_of(listing)) {
    EXPECT_NE(name, ".");
    EXPECT_NE(name, "..");
  }
}

TEST(Win32Directories, LinksToFilesShowAsTheFilesAndOtherLinksAreLeftOut) {
  TempTree tree;
  ASSERT_TRUE(tree.write("target.txt", "twelve bytes"));
  ASSERT_TRUE(tree.make_dir("real"));
  const DWORD unprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  // Wine reports success here but makes no link at all.
  if (!CreateSymbolicLinkW(tree.wide("file-link").c_str(), tree.wide("target.txt").c_str(),
                           unprivileged) ||
      GetFileAttributesW(tree.wide("file-link").c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no symbolic link can be made here";
  }
  ASSERT_TRUE(CreateSymbolicLinkW(tree.wide("dir-link").c_str(), tree.wide("real").c_str(),
                                  SYMBOLIC_LINK_FLAG_DIRECTORY | unprivileged));
  ASSERT_TRUE(CreateSymbolicLinkW(tree.wide("dangling").c_str(), tree.wide("gone.txt").c_str(),
                                  unprivileged));
  Win32Platform platform;
  DirListing listing = listing_of(platform, tree.path());
  // A linked directory is never entered (no walk can loop); a dangling link has nothing to show.
  std::vector<std::string> names = names_of(listing);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"file-link", "real", "target.txt"}));
  EXPECT_TRUE(listing.unreadable.empty());
  DirEntry facts;
  EXPECT_EQ(platform.entry_facts(Directory{tree.path(), nullptr}, "file-link", &facts),
            Lookup::kFound);
  EXPECT_EQ(facts.size, 12);
  EXPECT_EQ(platform.entry_facts(Directory{tree.path(), nullptr}, "dir-link", &facts),
            Lookup::kGone);
}

TEST(Win32Directories, ShortNamesWhereTheFileSystemMakesThem) {
  TempTree tree;
  ASSERT_TRUE(tree.write("SHORT.TXT", "s"));
  ASSERT_TRUE(tree.write("A Long File Name.text", "l"));
  Win32Platform platform;
  DirListing listing = listing_of(platform, tree.path());
  std::vector<std::string> names = names_of(listing);
  ASSERT_EQ(names.size(), 2u);
  const std::size_t long_one = names[0] == "A Long File Name.text" ? 0 : 1;
  EXPECT_EQ(names[1 - long_one], "SHORT.TXT");
  EXPECT_EQ(listing.short_name(1 - long_one), "");  // a name that is 8.3 already has no other
  const std::string short_name(listing.short_name(long_one));
  if (short_name.empty()) GTEST_SKIP() << "this volume makes no 8.3 names";
  EXPECT_LE(short_name.size(), 12u);
  EXPECT_EQ(short_name.find(' '), std::string::npos);
  EXPECT_NE(short_name.find('~'), std::string::npos);
  // The short name reaches the same file.
  EXPECT_EQ(platform.find_name_ignoring_case(tree.path(), short_name), "A Long File Name.text");
  DirEntry facts;
  ASSERT_EQ(platform.entry_facts(Directory{tree.path(), nullptr}, short_name, &facts),
            Lookup::kFound);
  EXPECT_EQ(facts.name, "A Long File Name.text");
}
