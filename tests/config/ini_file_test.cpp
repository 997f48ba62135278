#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/run_state.h"
#include "run/settings.h"
#include "support/rooted_path.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

class IniFile : public testing::Test {
 protected:
  void SetUp() override {
    reset_settings();
    run = RunState{};
    dir.mkdir("cwd");
    dir.mkdir("bin");
    platform.current = dir.at("cwd");
    run.module_path = dir.at("bin/tallysum");
  }
  // Reads the configuration as a run of the program at run.module_path with `args` would.
  // Returns the first refused line's reason.
  std::string read_with(std::vector<std::string> args = {}) {
    args.insert(args.begin(), run.module_path);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return read_configuration_file(static_cast<int>(args.size()), argv.data());
  }

  ScriptedPlatform platform;
  TempDir dir;
};

TEST_F(IniFile, TheProgramsOwnFileIsReadWholeAndTheSharedOneNotAtAll) {
  dir.write("cwd/tallysum.ini", "RECURSE=ON\n[OTHER]\nSTREAM=ON\n; PAUSE=ON\n");
  dir.write("cwd/KELDRAIN.INI", "[TALLYSUM]\nPAUSE=ON\n");
  EXPECT_EQ(read_with(), "");
  EXPECT_EQ(settings.recurse, 1);
  EXPECT_EQ(settings.streams, 1);
  EXPECT_EQ(settings.pause, 0);
  // Refused lines change nothing; the first refusal is handed back for the run to end on.
  reset_settings();
  dir.write("cwd/tallysum.ini", "WIDTH=40000\nRECURSE=ON\nLESSTHAN=-1\nGREATER=3000000000\n");
  EXPECT_EQ(read_with(), "Key WIDTH needs a value no greater than 32767");
  EXPECT_EQ(settings.name_width, 25);
  EXPECT_EQ(settings.size_less_than, (SizeLimit{true, 1}));  // a negative limit is no refusal
  EXPECT_EQ(settings.size_greater_than.bytes, 3000000000u);
}

TEST_F(IniFile, CandidatesAreTriedInOrderAndFoundWithoutRegardToCase) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> files;
    std::string program;
    std::string expected;  // the file found, relative to the test directory
    bool section_only;
  } cases[] = {
      {{{"cwd/TALLYSUM.INI", ""}, {"bin/tallysum.ini", ""}},
       "bin/tallysum",
       "cwd/TALLYSUM.INI",
       false},
      {{{"bin/Tallysum.Ini", ""}, {"cwd/keldrain.ini", ""}},
       "bin/tallysum",
       "bin/Tallysum.Ini",
       false},
      {{{"cwd/keldrain.ini", ""}, {"bin/KELDRAIN.INI", ""}},
       "bin/tallysum",
       "cwd/keldrain.ini",
       true},
      {{{"bin/KELDRAIN.INI", ""}, {"cwd/tallysum.ini", ""}}, "bin/ts", "bin/KELDRAIN.INI", true},
      {{{"cwd/tallysum.ini", ""}}, "bin/ts.bin", "cwd/tallysum.ini", false},
      {{{"bin/TALLYSUM.ini", ""}}, "bin/ts", "bin/TALLYSUM.ini", false},
      {{}, "bin/tallysum", "", false},
  };
  for (const Case& c : cases) {
    TempDir place;
    place.mkdir("cwd");
    place.mkdir("bin");
    for (const auto& [name, content] : c.files) place.write(name, content);
    platform.current = place.at("cwd");
    ConfigurationFile found;
    bool exists = find_configuration_file(place.at(c.program), &found);
    EXPECT_EQ(exists, !c.expected.empty()) << c.program;
    if (!exists) continue;
    EXPECT_EQ(found.path, place.at(c.expected));
    EXPECT_EQ(found.section_only, c.section_only) << c.expected;
  }
  EXPECT_EQ(program_name(rooted_path("usr/bin/tallysum")), "tallysum");
  EXPECT_EQ(program_name(rooted_path("opt/x.y/Prog.exe")), "Prog");
  EXPECT_EQ(program_name("tallysum"), "tallysum");
}

TEST_F(IniFile, TheSharedFileAppliesOnlyTheProgramsSection) {
  struct Case {
    std::string program;
    std::string text;
    int recurse, streams, pause;
  } cases[] = {
      {"tallysum", "RECURSE=ON\n[TALLYSUM]\nSTREAM=ON\n[NEXT]\nPAUSE=ON\n", 0, 1, 0},
      {"tallysum", "[tallysum] comment\r\nstream=on\r\npause=on\r\n", 0, 1, 1},
      {"tallysum", "[OTHER]\nSTREAM=ON\n", 0, 0, 0},  // no section: nothing
      {"tallysum", "[TALLYSUM]\nSTREAM=ON\nPAUSE=ON [TALLYSUM]\nRECURSE=ON\n", 0, 1, 0},
      {"x", "[TALLYSUM]\nSTREAM=ON\n[X]\nRECURSE=ON\n", 1, 0, 0},
      {"tallysum", " [TALLYSUM]\nSTREAM=ON\n", 0, 0, 0},  // the header must begin the line
  };
  for (const Case& c : cases) {
    reset_settings();
    dir.write("cwd/KELDRAIN.INI", c.text);
    run.module_path = dir.at("bin/" + c.program);
    read_with();
    EXPECT_EQ(settings.recurse, c.recurse) << c.text;
    EXPECT_EQ(settings.streams, c.streams) << c.text;
    EXPECT_EQ(settings.pause, c.pause) << c.text;
  }
}

TEST_F(IniFile, DashIniKeepsEveryFileUnread) {
  dir.write("cwd/tallysum.ini", "RECURSE=ON\n");
  for (const char* arg : {"-.ini", "-.INI", "-.Ini"}) {
    reset_settings();
    read_with({"-r", arg, "-S"});
    EXPECT_EQ(settings.recurse, 0) << arg;
  }
  read_with({"-.in", "x-.ini"});
  EXPECT_EQ(settings.recurse, 1);
}

TEST_F(IniFile, LinesOfAnyLengthAreReadWholeWithTheirLineEndsRemoved) {
  std::string long_pattern = "FILE=" + std::string(300, 'X') + "RECURSE=ON";
  std::string long_path = "PATH=" + rooted_path(std::string(100000, 'd'));
  dir.write("cwd/tallysum.ini", long_pattern + "\r\n" + long_path +
                                    "\nOUTPUT=" + rooted_path("out/List.txt") + "\r\nSTREAM=ON");
  read_with();
  EXPECT_EQ(settings.recurse, 0);  // not a second setting cut off the long line
  ASSERT_EQ(settings.file_patterns.size(), 1u);
  EXPECT_EQ(settings.file_patterns[0], long_pattern.substr(5));
  ASSERT_EQ(settings.search_paths.size(), 1u);
  EXPECT_EQ(settings.search_paths[0], long_path.substr(5));
  EXPECT_EQ(settings.output_path, rooted_path("out/List.txt"));
  EXPECT_EQ(settings.streams, 1);  // the last line needs no line end
}

TEST_F(IniFile, AnUnopenableFileIsReportedWithTheSystemsReasonAndWaitedOn) {
  dir.mkdir("cwd/tallysum.ini");
  dir.write("bin/tallysum.ini", "RECURSE=ON\n");  // found second: never read
  platform.keys = {'\n'};
  std::string reason;
  EXPECT_EQ(native_platform().open_path(dir.at("cwd/tallysum.ini"), &reason), nullptr);
  ASSERT_FALSE(reason.empty());
  testing::internal::CaptureStdout();
  read_with();
  // The message names no file: the reason's line does.
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\nCouldn't open .ini file\n" + dir.at("cwd/tallysum.ini") + ": " + reason + "\n");
  EXPECT_EQ(platform.key_reads, 1);
  EXPECT_EQ(settings.recurse, 0);

  // End of input at the wait: the run still goes on.
  testing::internal::CaptureStdout();
  read_with();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(platform.key_reads, 2);
}

}  // namespace
