#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>

#include "platform/win32/win32_platform.h"
#include "temp_tree.h"

namespace {

// Sets TZ for the process and the C run-time alike; gives the old value back at the end.
class ZoneSetting {
 public:
  explicit ZoneSetting(const char* value) {
    const char* found = std::getenv("TZ");
    had_ = found != nullptr;
    if (had_) old_ = found;
    set(value);
  }
  ~ZoneSetting() { set(had_ ? old_.c_str() : nullptr); }

 private:
  static void set(const char* value) {
    SetEnvironmentVariableW(L"TZ", value != nullptr ? win32::to_wide(value).c_str() : nullptr);
    _putenv_s("TZ", value != nullptr ? value : "");
    _tzset();
  }
  bool had_ = false;
  std::string old_;
};

std::string program_path() {
  wchar_t path[MAX_PATH + 1] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  return win32::to_utf8(path);
}

}  // namespace

TEST(Win32Paths, FullPathsAndTheProgramsOwnPlaces) {
  TempTree tree;
  Win32Platform platform;
  std::string cwd = platform.current_directory();
  ASSERT_GE(cwd.size(), 3u);
  EXPECT_EQ(cwd[1], ':');
  std::string full;
  ASSERT_TRUE(platform.full_path("a\\..\\b.txt", &full));
  EXPECT_EQ(full, cwd + (cwd.back() == '\\' ? "" : "\\") + "b.txt");
  ASSERT_TRUE(platform.full_path(tree.path() + "x\\.\\y\\\\z\\", &full));
  EXPECT_EQ(full, tree.path() + "x\\y\\z\\");  // normalised, the trailing separator kept
  ASSERT_TRUE(platform.full_path("/", &full));
  EXPECT_EQ(full, cwd.substr(0, 3));
  EXPECT_EQ(platform.module_path(), program_path());
  EXPECT_NE(platform.module_path().find("tallysum_tests"), std::string::npos);
}

TEST(Win32Paths, FactsOfPathsAndNamesFoundWithoutCase) {
  TempTree tree;
  ASSERT_TRUE(tree.write("Mixed.Case.txt", "12345"));
  ASSERT_TRUE(tree.make_dir("sub"));
  Win32Platform platform;
  DirEntry facts;
  ASSERT_TRUE(platform.path_facts(tree.at("mixed.case.TXT"), &facts));
  EXPECT_EQ(facts.size, 5);
  EXPECT_EQ(facts.name, "Mixed.Case.txt");
  ASSERT_TRUE(platform.path_facts(tree.at("sub"), &facts));
  EXPECT_NE(facts.attributes & kAttrDirectory, 0u);
  EXPECT_FALSE(platform.path_facts(tree.at("missing"), &facts));
  EXPECT_FALSE(platform.path_facts("NUL", &facts));
  EXPECT_TRUE(platform.is_directory(tree.path()));
  EXPECT_TRUE(platform.is_directory(tree.at("SUB")));
  EXPECT_FALSE(platform.is_directory(tree.at("Mixed.Case.txt")));
  EXPECT_EQ(platform.find_name_ignoring_case(tree.path(), "MIXED.CASE.TXT"), "Mixed.Case.txt");
  EXPECT_EQ(platform.find_name_ignoring_case(tree.path(), "missing.txt"), "");
  EXPECT_EQ(platform.find_name_ignoring_case(tree.path(), "*.txt"), "");  // no pattern
}

// The stamps go back through the handle the file is read from, on a read-only file too (the
// handle's right to write attributes is all it takes).
TEST(Win32Times, StampsWrittenBackThroughTheReadHandleAreTheStampsFound) {
  TempTree tree;
  ASSERT_TRUE(tree.write("stamped", "x"));
  Win32Platform platform;
  Directory dir{tree.path(), nullptr};
  ASSERT_TRUE(platform.set_attributes(dir, "stamped", kAttrReadOnly));
  auto put_back = [&](const DirEntry& stamps) {
    InputHandle input =
        platform.open_file(dir, "stamped", InputAccess::kReadAndRestoreTimes, nullptr);
    if (input == nullptr) return false;
    char byte = 0;
    bool done =
        platform.read_input(input, &byte, 1) == 1 && platform.set_input_times(input, stamps);
    platform.close_input(input);
    return done;
  };
  DirEntry wanted;
  wanted.creation = 125911584000000000ULL + 1234567;  // 2000-01-01 and some 100-ns units
  wanted.last_access = 130000000000000000ULL;
  wanted.last_write = 132000000000000007ULL;
  ASSERT_TRUE(put_back(wanted));
  DirEntry found;
  ASSERT_EQ(platform.entry_facts(dir, "stamped", &found), Lookup::kFound);
  const bool births = !running_under_wine();  // Wine shows the last write as the creation
  if (births) {
    EXPECT_EQ(found.creation, wanted.creation);
  }
  EXPECT_EQ(found.last_access, wanted.last_access);
  EXPECT_EQ(found.last_write, wanted.last_write);
  EXPECT_NE(found.attributes & kAttrReadOnly, 0u);
  // A stamp that was not known (0) is left as it is.
  DirEntry partial = wanted;
  partial.creation = 0;
  partial.last_write = 133000000000000000ULL;
  ASSERT_TRUE(put_back(partial));
  ASSERT_EQ(platform.entry_facts(dir, "stamped", &found), Lookup::kFound);
  if (births) {
    EXPECT_EQ(found.creation, wanted.creation);
  }
  EXPECT_EQ(found.last_access, wanted.last_access);
  EXPECT_EQ(found.last_write, partial.last_write);
  // Opened for reading alone, the handle cannot write them (Wine does not hold a handle to
  // the access it was opened with here).
  InputHandle reading = platform.open_file(dir, "stamped", InputAccess::kRead, nullptr);
  ASSERT_NE(reading, nullptr);
  if (!running_under_wine()) {
    EXPECT_FALSE(platform.set_input_times(reading, wanted));
  }
  platform.close_input(reading);
  ASSERT_TRUE(platform.set_attributes(dir, "stamped", kAttrNormal));
}

TEST(Win32Attributes, ReadOnlyAndHiddenBitsRoundTrip) {
  TempTree tree;
  ASSERT_TRUE(tree.write("plain", "x"));
  Win32Platform platform;
  Directory dir{tree.path(), nullptr};
  EXPECT_EQ(platform.get_attributes(dir, "plain") & (kAttrReadOnly | kAttrHidden), 0u);
  ASSERT_TRUE(platform.set_attributes(dir, "plain", kAttrReadOnly | kAttrHidden));
  EXPECT_EQ(platform.get_attributes(dir, "plain") & (kAttrReadOnly | kAttrHidden),
            kAttrReadOnly | kAttrHidden);
  DirEntry facts;
  ASSERT_EQ(platform.entry_facts(dir, "plain", &facts), Lookup::kFound);
  EXPECT_NE(facts.attributes & kAttrReadOnly, 0u);
  ASSERT_TRUE(platform.set_attributes(dir, "plain", kAttrNormal));
  EXPECT_EQ(platform.get_attributes(dir, "plain") & kAttrReadOnly, 0u);
  EXPECT_EQ(platform.get_attributes(dir, "missing"), kInvalidAttributes);
  EXPECT_FALSE(platform.set_attributes(dir, "missing", kAttrNormal));
}

TEST(Win32Clock, CalendarConversionsBeyond2038) {
  Win32Platform platform;
  struct Row {
    std::int64_t seconds;
    CalendarTime utc;
  };
  const Row rows[] = {
      {0, {1970, 1, 1, 0, 0, 0, 4}},
      {951782400, {2000, 2, 29, 0, 0, 0, 2}},
      {2147483648LL, {2038, 1, 19, 3, 14, 8, 2}},  // one past the 32-bit end
      {4102444799LL, {2099, 12, 31, 23, 59, 59, 4}},
  };
  for (const Row& row : rows) {
    CalendarTime got;
    ASSERT_TRUE(platform.to_calendar(row.seconds, false, &got)) << row.seconds;
    EXPECT_EQ(std::vector<int>(
                  {got.year, got.month, got.day, got.hour, got.minute, got.second, got.weekday}),
              std::vector<int>({row.utc.year, row.utc.month, row.utc.day, row.utc.hour,
                                row.utc.minute, row.utc.second, row.utc.weekday}))
        << row.seconds;
  }
  std::int64_t now = platform.now_seconds();
  std::int64_t runtime_now = _time64(nullptr);
  EXPECT_LE(std::llabs(now - runtime_now), 2);
}

// The C run-time applies the US daylight rule to any TZ; Wine's takes the rule from the
// system's zone instead, so tools/test-windows runs Wine in the same zone.
TEST(Win32Clock, ZoneAndLocalTimeFollowTzWhenItIsSet) {
  ZoneSetting zone("EST5EDT");
  Win32Platform platform;
  ZoneInfo info = platform.zone_info();
  EXPECT_EQ(info.offset_seconds, 5 * 3600);
  EXPECT_TRUE(info.has_daylight);
  EXPECT_FALSE(info.standard_name.empty());
  CalendarTime winter;
  CalendarTime summer;
  ASSERT_TRUE(platform.to_calendar(1610712000, true, &winter));  // 2021-01-15 12:00 UTC
  ASSERT_TRUE(platform.to_calendar(1626350400, true, &summer));  // 2021-07-15 12:00 UTC
  EXPECT_EQ(winter.hour, 7);
  EXPECT_EQ(summer.hour, 8);
  // Standard time all year round: July's 07:00 is 12:00 UTC, not 11:00.
  EXPECT_EQ(platform.local_standard_seconds(2021, 7, 15, 7, 0, 0), 1626350400);
  EXPECT_EQ(platform.local_standard_seconds(2021, 1, 15, 7, 0, 0), 1610712000);
}

TEST(Win32Clock, ZoneComesFromTheSystemWhenTzIsUnset) {
  ZoneSetting zone(nullptr);
  TIME_ZONE_INFORMATION system{};
  GetTimeZoneInformation(&system);
  Win32Platform platform;
  ZoneInfo info = platform.zone_info();
  EXPECT_EQ(info.standard_name, win32::to_utf8(system.StandardName));
  EXPECT_EQ(info.offset_seconds, (system.Bias + system.StandardBias) * 60L);
}

TEST(Win32Startup, ArgumentsComeWholeInUtf8FromTheSystem) {
  TempTree tree;
  std::wstring self(MAX_PATH, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
  std::string result = tree.at("arguments.txt");
  // Greek, Japanese and a character outside the BMP: none of them is in the ANSI code page.
  std::wstring line = L"\"" + self + L"\" --write-arguments \"" + win32::to_wide(result) +
                      L"\" \u03A9mega \u65E5\u672C \"two words\" \U0001F600 a\\\"b";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &child));
  WaitForSingleObject(child.hProcess, 60000);
  DWORD status = 99;
  GetExitCodeProcess(child.hProcess, &status);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  ASSERT_EQ(status, 0u);
  EXPECT_EQ(tree.read("arguments.txt"),
            win32::to_utf8(self) + "\n--write-arguments\n" + result +
                "\n\xCE\xA9mega\n\xE6\x97\xA5\xE6\x9C\xAC\ntwo words\n\xF0\x9F\x98\x80\na\"b\n");
}

TEST(Win32Console, RedirectedInputGivesItsBytesAndThenTheEnd) {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(write_end, "y\xE9", 2, &written, nullptr));
  CloseHandle(write_end);
  HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
  SetStdHandle(STD_INPUT_HANDLE, read_end);
  Win32Platform platform;
  if (platform.stdin_is_terminal()) {
    SetStdHandle(STD_INPUT_HANDLE, saved);
    CloseHandle(read_end);
    GTEST_SKIP() << "standard input was found to be a console earlier in this run";
  }
  EXPECT_FALSE(platform.key_waiting());  // never true without a console
  EXPECT_EQ(platform.read_key(), 'y');
  EXPECT_EQ(platform.read_key(), 0xE9);  // a byte, not a negative char
  EXPECT_EQ(platform.read_key(), kKeyEndOfInput);
  EXPECT_EQ(platform.read_key(), kKeyEndOfInput);
  SetStdHandle(STD_INPUT_HANDLE, saved);
  CloseHandle(read_end);
  platform.install_interrupt_handler();
  EXPECT_FALSE(platform.interrupt_pending());
}

TEST(Win32Startup, AMissingStandardInputReadsAsTheEmptyDevice) {
  HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
  SetStdHandle(STD_INPUT_HANDLE, nullptr);
  Win32Platform platform;
  StandardStreams found = platform.secure_standard_streams();
  HANDLE now = GetStdHandle(STD_INPUT_HANDLE);
  char byte = 0;
  DWORD read = 1;
  bool readable = now != nullptr && ReadFile(now, &byte, 1, &read, nullptr);
  if (now != nullptr && now != saved) CloseHandle(now);
  SetStdHandle(STD_INPUT_HANDLE, saved);
  EXPECT_TRUE(found.input_closed);
  EXPECT_TRUE(readable);
  EXPECT_EQ(read, 0u);
  EXPECT_FALSE(found.output_closed && GetStdHandle(STD_OUTPUT_HANDLE) != nullptr);
}

TEST(Win32Console, CodePageSwitchesAreTheSystemsOwn) {
  Win32Platform platform;
  platform.set_file_apis_oem();
  EXPECT_FALSE(platform.file_apis_are_ansi());
  EXPECT_FALSE(AreFileApisANSI());
  platform.set_file_apis_ansi();
  EXPECT_TRUE(platform.file_apis_are_ansi());
  EXPECT_TRUE(AreFileApisANSI());
}

TEST(Win32Help, NoHelpFileWithoutAConsoleToPageIt) {
  TempTree tree;
  ASSERT_TRUE(tree.write("tally.txt", "help text"));
  Win32Platform platform;
  DWORD mode = 0;
  bool console = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) &&
                 GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
  EXPECT_EQ(platform.find_help_file(tree.at("tally.v2.exe")), console ? tree.at("tally.txt") : "");
  EXPECT_EQ(platform.find_help_file(tree.at("other.exe")), "");
}
