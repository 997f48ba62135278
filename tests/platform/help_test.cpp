#include <gtest/gtest.h>

#include <filesystem>

#include "platform/child_process.h"
#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

TEST(HelpFile, ManualPageLookupOrder) {
  TempDir dir;
  std::string program = dir.at("prefix/bin/tallysum.exe");
  dir.write("prefix/bin/tallysum.exe", "");
  std::string manpath = dir.at("empty") + "::" + dir.at("m");
  struct Step {
    const char* create;  // made before the lookup
    const char* found;   // what it finds then
  } steps[] = {
      {nullptr, ""},
      {"m/man1/tallysum.1.gz", "m/man1/tallysum.1.gz"},
      {"m/man1/tallysum.1", "m/man1/tallysum.1"},
      {"prefix/share/man/man1/tallysum.1.gz", "prefix/bin/../share/man/man1/tallysum.1.gz"},
      {"prefix/bin/tallysum.1", "prefix/bin/tallysum.1"},
  };
  for (const Step& step : steps) {
    if (step.create != nullptr) dir.write(step.create, ".TH TALLYSUM 1\n");
    std::string expected = *step.found != '\0' ? dir.at(step.found) : "";
    EXPECT_EQ(posix::find_manual_page(program, manpath.c_str()), expected) << step.found;
  }
  dir.mkdir("other/man1/other.1");  // a directory is not a page
  EXPECT_EQ(posix::find_manual_page(dir.at("other/other"), dir.at("other").c_str()), "");
}

TEST(HelpFile, NotOfferedWithoutATerminal) {
  TempDir dir;
  dir.write("bin/tallysum.1", ".TH TALLYSUM 1\n");
  std::string program = dir.at("bin/tallysum");
  int status = run_in_child([&] {
    int ends[2];
    if (pipe(ends) != 0) return 2;
    dup2(ends[0], STDIN_FILENO);
    PosixPlatform platform;
    return platform.find_help_file(program).empty() ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

TEST(HelpFile, ViewerShowsThePageAndReportsFailure) {
  if (access("/usr/bin/man", X_OK) != 0) GTEST_SKIP() << "no manual viewer on this machine";
  TempDir dir;
  dir.write("tallysum.1", ".TH TALLYSUM 1\n.SH NAME\ntallysum \\- catalogue files\n");
  std::string shown = dir.at("shown.txt");
  int status = run_in_child(
      [&] {
        // Away from any terminal the viewer writes the page out instead of paging it.
        if (!freopen(shown.c_str(), "w", stdout) || !freopen("/dev/null", "w", stderr)) return 9;
        PosixPlatform platform;
        bool ok = platform.show_help_file(dir.at("tallysum.1"));
        bool missing = platform.show_help_file(dir.at("missing.1"));
        return ok && !missing ? 0 : 1;
      },
      30);
  EXPECT_EQ(status, 0);
  EXPECT_NE(read_file(shown).find("catalogue files"), std::string::npos) << read_file(shown);
}
