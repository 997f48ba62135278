#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"

TEST(Win32Text, ValidTextRoundTripsBothWays) {
  struct Row {
    const char* utf8;
    std::wstring utf16;
  };
  const Row rows[] = {
      {"", L""},
      {"plain.txt", L"plain.txt"},
      {"caf\xC3\xA9", L"caf\u00E9"},                              // two-byte sequence
      {"\xE6\x97\xA5\xE6\x9C\xAC", L"\u65E5\u672C"},              // three-byte sequences
      {"\xF0\x9F\x98\x80!", std::wstring{0xD83D, 0xDE00, L'!'}},  // outside the BMP: a pair
      {"\xEF\xBF\xBF", L"\uFFFF"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.utf8);
    EXPECT_EQ(win32::to_wide(row.utf8), row.utf16);
    EXPECT_EQ(win32::to_utf8(row.utf16), row.utf8);
  }
}

TEST(Win32Text, LoneSurrogatesOfANameSurviveTheTrip) {
  // NTFS names need not be valid UTF-16; the program must open what it listed.
  const std::wstring names[] = {
      std::wstring{L'a', 0xD800, L'b'}, std::wstring{0xDC00},
      std::wstring{0xDBFF, 0xDBFF, 0xDFFF},  // a lone high one, then a pair
      std::wstring{0xDFFF, 0xD800},          // the two halves the wrong way round
  };
  for (const std::wstring& name : names) {
    std::string utf8 = win32::to_utf8(name);
    EXPECT_EQ(win32::to_wide(utf8), name) << utf8;
  }
}

TEST(Win32Text, MalformedUtf8BecomesReplacementAndTheRestSurvives) {
  const std::wstring kBad = L"\uFFFD";
  EXPECT_EQ(win32::to_wide("a\xFF"
                           "b"),
            L"a" + kBad + L"b");
  EXPECT_EQ(win32::to_wide("\xC3"), kBad);             // cut short at the end
  EXPECT_EQ(win32::to_wide("\xC3(x"), kBad + L"(x");   // bad continuation byte
  EXPECT_EQ(win32::to_wide("\xC0\xAF"), kBad + kBad);  // overlong '/': never a separator
  EXPECT_EQ(win32::to_wide("\xF4\x90\x80\x80"), kBad + kBad + kBad + kBad);  // beyond U+10FFFF
  EXPECT_EQ(win32::to_wide("\x80z"), kBad + L"z");
}

TEST(Win32Paths, ExtendedFormLiftsTheLengthLimitOnlyForFullPaths) {
  struct Row {
    std::wstring full;
    std::wstring extended;
  };
  const Row rows[] = {
      {L"C:\\data\\x.txt", L"\\\\?\\C:\\data\\x.txt"},
      {L"z:\\", L"\\\\?\\z:\\"},
      {L"\\\\server\\share\\dir", L"\\\\?\\UNC\\server\\share\\dir"},
      {L"\\\\?\\C:\\already", L"\\\\?\\C:\\already"},
      {L"\\\\.\\NUL", L"\\\\.\\NUL"},
      {L"relative\\name", L"relative\\name"},
      {L"C:relative", L"C:relative"},
  };
  for (const Row& row : rows) EXPECT_EQ(win32::extended_path(row.full), row.extended);
}

TEST(Win32Paths, OnlyPlainNamesReachAnEntry) {
  for (const char* name : {"a.txt", "name with spaces", "\xC3\xA9t\xC3\xA9", "...x", "a.b.c"}) {
    EXPECT_TRUE(win32::is_plain_name(name)) << name;
  }
  for (const char* name : {"", ".", "..", "sub\\file", "sub/file", "file:stream", "C:", "*.txt",
                           "a?", "a|b", "a<b", "a>b", "a\"b"}) {
    EXPECT_FALSE(win32::is_plain_name(name)) << name;
  }
  using namespace std::string_literals;
  for (const std::string& name : {"a\0b"s, "tab\there"s, "\x1F"s}) {
    EXPECT_FALSE(win32::is_plain_name(name)) << name.size();
  }
  EXPECT_EQ(win32::system_path("C:\\data\0.txt"s), L"");
  Directory dir{"C:\\data\\", nullptr};
  EXPECT_EQ(win32::entry_path(dir, "file:stream"), L"");
  DirectoryState state{L"\\\\?\\C:\\data\\"};
  EXPECT_EQ(win32::entry_path(Directory{"C:\\data\\", &state}, "x"), L"\\\\?\\C:\\data\\x");
  EXPECT_EQ(win32::entry_path(Directory{"C:\\data\\", &state}, ""), L"\\\\?\\C:\\data");
  DirectoryState root{L"\\\\?\\C:\\"};
  EXPECT_EQ(win32::entry_path(Directory{"C:\\", &root}, ""), L"\\\\?\\C:\\");
}

TEST(Win32Paths, VolumeKindFromTheFileSystem) {
  EXPECT_EQ(win32::volume_kind_of(L"NTFS", 0), 2);
  EXPECT_EQ(win32::volume_kind_of(L"ReFS", 0x40000), 2);  // keeps named streams
  EXPECT_EQ(win32::volume_kind_of(L"FAT32", 0), 4);
  EXPECT_EQ(win32::volume_kind_of(L"FAT", 0), 4);
  EXPECT_EQ(win32::volume_kind_of(L"exFAT", 0), 1);
  EXPECT_EQ(win32::volume_kind_of(L"CDFS", 0), 1);
  EXPECT_EQ(win32::volume_kind_of(L"", 0), 1);
}

TEST(Win32Help, HelpFileIsTheProgramNameUpToItsFirstDot) {
  EXPECT_EQ(win32::help_file_name("C:\\TOOLS\\TALLYSUM.EXE"), "C:\\TOOLS\\TALLYSUM.txt");
  EXPECT_EQ(win32::help_file_name("C:\\TOOLS\\TALLY.V2.EXE"), "C:\\TOOLS\\TALLY.txt");
  EXPECT_EQ(win32::help_file_name("C:\\v1.0\\tally.exe"), "C:\\v1.0\\tally.txt");
  EXPECT_EQ(win32::help_file_name("tallysum"), "tallysum.txt");
  EXPECT_EQ(win32::help_file_name("C:\\TOOLS\\.EXE"), "");
}

TEST(Win32Paths, OnlyNameSurrogateReparsePointsAreLinks) {
  const std::uint32_t kReparse = 0x400;
  EXPECT_TRUE(win32::is_link(kReparse, 0xA000000C));                    // symbolic link
  EXPECT_TRUE(win32::is_link(kReparse | kAttrDirectory, 0xA0000003));   // junction
  EXPECT_FALSE(win32::is_link(kReparse | kAttrDirectory, 0x9000601A));  // a cloud folder
  EXPECT_FALSE(win32::is_link(kReparse, 0x80000013));                   // deduplicated file
  EXPECT_FALSE(win32::is_link(kAttrArchive, 0xA000000C));  // no reparse point: tag is noise
}
