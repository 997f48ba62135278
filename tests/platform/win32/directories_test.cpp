#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"
#include "temp_tree.h"

namespace {

std::vector<std::string> names_of(const DirListing& listing) {
  std::vector<std::string> names;
  for (const DirEntry& entry : listing.entries) names.push_back(entry.name);
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

TEST(Win32Directories, ListsEveryEntryButTheDotsSortedByUtf8Bytes) {
  TempTree tree;
  // Upper case before lower, then the non-ASCII names by their first byte: the order Linux
  // gives the same tree, not the file system's own.
  const std::vector<std::string> expected = {"Zeta.txt",
                                             "alpha.txt",
                                             "beta",
                                             "\xC3\x89"
                                             "clair",
                                             "\xE6\x97\xA5\xE6\x9C\xAC.dat",
                                             "\xF0\x9F\x98\x80"};
  for (const std::string& name :
       {expected[5], expected[3], expected[0], expected[4], expected[1]}) {
    ASSERT_TRUE(tree.write(name, name)) << name;
  }
  ASSERT_TRUE(tree.make_dir("beta"));
  Win32Platform platform;
  DirListing listing = listing_of(platform, tree.path());
  EXPECT_EQ(names_of(listing), expected);
  EXPECT_FALSE(listing.is_root);
  EXPECT_TRUE(listing.unreadable.empty());
  for (const DirEntry& entry : listing.entries) {
    SCOPED_TRACE(entry.name);
    bool directory = entry.name == "beta";
    EXPECT_EQ((entry.attributes & kAttrDirectory) != 0, directory);
    EXPECT_EQ(entry.size, directory ? 0 : static_cast<std::int64_t>(entry.name.size()));
    EXPECT_NE(entry.last_write, 0u);
  }
}

TEST(Win32Directories, NamesOutsideTheCodePageOpenByTheNameListed) {
  TempTree tree;
  const std::string name = "\xCE\xA9mega-\xE6\x97\xA5\xE6\x9C\xAC-\xF0\x9F\x98\x80.txt";
  ASSERT_TRUE(tree.write(name, "content"));
  Win32Platform platform;
  DirListing listing = listing_of(platform, tree.path());
  ASSERT_EQ(listing.entries.size(), 1u);
  EXPECT_EQ(listing.entries[0].name, name);
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
  ASSERT_TRUE(platform.entry_facts(dir, "deep.txt", &facts));
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
  ASSERT_TRUE(platform.entry_facts(dir, "FILE.BIN", &facts));
  EXPECT_EQ(facts.name, "file.bin");  // the name as the disk has it
  EXPECT_EQ(facts.size, 1000);
  EXPECT_EQ(facts.attributes & kAttrDirectory, 0u);
  ASSERT_TRUE(platform.entry_facts(dir, "", &facts));
  EXPECT_NE(facts.attributes & kAttrDirectory, 0u);
  EXPECT_EQ(facts.size, 0);
  EXPECT_FALSE(platform.entry_facts(dir, "missing", &facts));
  EXPECT_FALSE(platform.entry_facts(dir, "sub\\..\\file.bin", &facts));
  EXPECT_FALSE(platform.entry_facts(dir, "*.bin", &facts));
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
  EXPECT_FALSE(listing.entries.empty());
  for (const DirEntry& entry : listing.entries) {
    EXPECT_NE(entry.name, ".");
    EXPECT_NE(entry.name, "..");
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
  EXPECT_EQ(names_of(listing), (std::vector<std::string>{"file-link", "real", "target.txt"}));
  ASSERT_EQ(listing.entries.size(), 3u);
  EXPECT_EQ(listing.entries[0].size, 12);
  EXPECT_EQ(listing.entries[0].last_write, listing.entries[2].last_write);
  EXPECT_TRUE(listing.unreadable.empty());
  DirEntry facts;
  EXPECT_TRUE(platform.entry_facts(Directory{tree.path(), nullptr}, "file-link", &facts));
  EXPECT_EQ(facts.size, 12);
  EXPECT_FALSE(platform.entry_facts(Directory{tree.path(), nullptr}, "dir-link", &facts));
}

TEST(Win32Directories, ShortNamesWhereTheFileSystemMakesThem) {
  TempTree tree;
  ASSERT_TRUE(tree.write("SHORT.TXT", "s"));
  ASSERT_TRUE(tree.write("A Long File Name.text", "l"));
  Win32Platform platform;
  DirListing listing = listing_of(platform, tree.path());
  ASSERT_EQ(names_of(listing), (std::vector<std::string>{"A Long File Name.text", "SHORT.TXT"}));
  EXPECT_EQ(listing.entries[1].short_name, "");  // a name that is 8.3 already has no other
  const std::string& short_name = listing.entries[0].short_name;
  if (short_name.empty()) GTEST_SKIP() << "this volume makes no 8.3 names";
  EXPECT_LE(short_name.size(), 12u);
  EXPECT_EQ(short_name.find(' '), std::string::npos);
  EXPECT_NE(short_name.find('~'), std::string::npos);
  // The short name reaches the same file.
  EXPECT_EQ(platform.find_name_ignoring_case(tree.path(), short_name), "A Long File Name.text");
  DirEntry facts;
  ASSERT_TRUE(platform.entry_facts(Directory{tree.path(), nullptr}, short_name, &facts));
  EXPECT_EQ(facts.name, "A Long File Name.text");
}
