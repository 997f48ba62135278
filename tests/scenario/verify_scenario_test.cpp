// Verifying a catalogue against the disk: a tree catalogued, changed, and verified as a user
// would, from the directory the catalogue's paths were given in.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/file_stamps.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

constexpr long kWrite = 1104673510;  // 2005-01-02 13:45:10 UTC

// The summary line a verification writes on standard error, or empty when there is none.
std::string tally_line_of(const std::string& err) {
  for (const std::string& line : lines_of(err)) {
    if (line.rfind("Verified ", 0) == 0) return line;
  }
  return "";
}

class VerifyScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.write("a.txt", "alpha");
    tree.write("b.txt", "bravo");
    tree.write("d.txt", "delta");
    tree.write("sub/c.txt", "charlie");
    for (const char* name : {"a.txt", "b.txt", "d.txt", "sub/c.txt"}) {
      ASSERT_TRUE(set_stamps(tree.at(name), {kWrite}, {kWrite})) << name;
    }
  }

  // Catalogues the current directory (the tree) into `catalogue`, elsewhere.
  void catalogue(const std::vector<std::string>& options, const std::string& name = "list.txt") {
    ProgramResult result = run_tallysum({.args = options, .directory = tree.path()});
    ASSERT_EQ(result.status, 0) << result.err << result.out;
    ASSERT_NE(read_file(elsewhere.at(name)).find("\nStarted "), std::string::npos);
  }

  ProgramResult verify(const std::string& name = "list.txt") {
    return run_tallysum({.args = {"--verify", elsewhere.at(name)}, .directory = tree.path()});
  }

  TempDir tree;
  TempDir elsewhere;
};

TEST_F(VerifyScenario, EachDifferenceIsReportedOnceInCatalogueOrderThenWalkOrder) {
  if (!set_xattr(tree.at("a.txt"), "user.one", "first")) {
    GTEST_SKIP() << "no user attributes where the scratch directory lies";
  }
  catalogue({"-r", "-w", "0", "-S", "-m", "-o", elsewhere.at("list.txt")});
  const std::string written = read_file(elsewhere.at("list.txt"));

  tree.write("b.txt", "BRAVO");  // same size, new content
  std::remove(tree.at("sub/c.txt").c_str());
  tree.write("e.txt", "echo");
  tree.write("f.txt", "foxtrot");
  ASSERT_TRUE(set_xattr(tree.at("a.txt"), "user.one", "other"));
  ProgramResult result = verify();

  // The catalogue's own order decides where the changed and missing ones come.
  const std::vector<std::pair<std::string, std::string>> kinds = {
      {tree.at("a.txt:one"), "CHANGED"},
      {tree.at("b.txt"), "CHANGED"},
      {tree.at("sub/c.txt"), "MISSING"}};
  std::string expected;
  for (const std::string& line : lines_of(written)) {
    for (const auto& [name, kind] : kinds) {
      if (line.rfind(name + " ", 0) == 0) expected += kind + " " + name + "\n";
    }
  }
  std::string added;
  for (const std::string& line : lines_of(result.out)) {
    if (line.rfind("NEW ", 0) == 0) added += line + "\n";
  }
  ASSERT_EQ(lines_of(added).size(), 2u) << result.out;
  EXPECT_EQ(result.out, expected + added);
  EXPECT_NE(added.find("NEW " + tree.at("e.txt") + "\n"), std::string::npos) << added;
  EXPECT_NE(added.find("NEW " + tree.at("f.txt") + "\n"), std::string::npos) << added;
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 7 records: 2 unchanged, 2 changed, 1 missing, 2 new, 0 unreadable");
  EXPECT_EQ(result.status, 1) << result.err;
  // Nothing of the repeated listing was written: the catalogue is as the run left it.
  EXPECT_EQ(read_file(elsewhere.at("list.txt")), written);
}

TEST_F(VerifyScenario, AnUnchangedTreeGivesNoLineAndReadingItDoesNotCount) {
  catalogue({"-r", "-w", "0", "-ta", "-o", elsewhere.at("list.txt")});
  for (int pass = 0; pass < 2; ++pass) {
    // Access stamps move, as reading moves them; nothing else does.
    for (const char* name : {"a.txt", "b.txt", "d.txt", "sub/c.txt"}) {
      ASSERT_TRUE(set_stamps(tree.at(name), {kWrite + 86400 * (pass + 1)}, {kWrite}));
    }
    ProgramResult result = verify();
    EXPECT_EQ(result.out, "") << "pass " << pass;
    EXPECT_EQ(tally_line_of(result.err),
              "Verified 4 records: 4 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
    EXPECT_EQ(result.status, 0) << result.err;
  }
}

TEST_F(VerifyScenario, AnAdjustedNameWidthIsTakenFromTheCataloguesEnd) {
  tree.write("a/rather/deeply/nested/directory/z.txt", "zulu");
  catalogue({"-r", "-M", "-m", "-o", elsewhere.at("list.txt")});
  ASSERT_NE(read_file(elsewhere.at("list.txt")).find(" AUTOWIDTH -Mw= "), std::string::npos);
  ProgramResult result = verify();
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 5 records: 5 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
  EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(VerifyScenario, AChangedColumnOtherThanTheDigestCounts) {
  catalogue({"-n", "-m", "-o", elsewhere.at("list.txt")});
  ASSERT_TRUE(set_stamps(tree.at("d.txt"), {kWrite}, {kWrite + 60}));
  ProgramResult result = verify();
  EXPECT_EQ(result.out, "CHANGED d.txt\n");
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 3 records: 2 unchanged, 1 changed, 0 missing, 0 new, 0 unreadable");
  EXPECT_EQ(result.status, 1);
}

TEST_F(VerifyScenario, ShortenedNamesThatCollideAreRefused) {
  tree.write("one/longname_first.txt", "1");
  tree.write("two/longname_other.txt", "2");
  catalogue({"-r", "-w", "12", "-o", elsewhere.at("list.txt")});
  ProgramResult result = verify();
  EXPECT_EQ(result.status, 10) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("two records show the name"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("name width that keeps names whole (-w 0)"), std::string::npos);
  EXPECT_EQ(tally_line_of(result.err), "");
}

TEST_F(VerifyScenario, AppendedRunsAreVerifiedAgainstTheLastAndTheOthersSkipped) {
  catalogue({"-f", "a.txt", "-O", elsewhere.at("list.txt")});
  catalogue({"-f", "b.txt", "-O", elsewhere.at("list.txt")});
  catalogue({"-O", elsewhere.at("list.txt")});
  std::remove(tree.at("a.txt").c_str());
  ProgramResult result = verify();
  EXPECT_NE(result.err.find("Skipped 2 earlier runs of " + elsewhere.at("list.txt") +
                            ": verifying its last run\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.out, "MISSING a.txt\n");
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 3 records: 2 unchanged, 0 changed, 1 missing, 0 new, 0 unreadable");
  EXPECT_EQ(result.status, 1);
}

// Standard output, named or not, carries the console's header, without the command line.
TEST_F(VerifyScenario, AnOutputFileCanBeVerifiedAndStandardOutputCannot) {
  catalogue({"-o", elsewhere.at("file.txt")}, "file.txt");
  for (const char* name : {"named.txt", "plain.txt"}) {
    std::vector<std::string> args;
    if (std::string(name) == "named.txt") args = {"-o", "stdout"};
    ProgramResult listed = run_tallysum({.args = args, .directory = tree.path()});
    ASSERT_EQ(listed.status, 0);
    elsewhere.write(name, listed.out);
    ProgramResult result = verify(name);
    EXPECT_EQ(result.status, 10) << name;
    EXPECT_NE(result.err.find("echoes no command line"), std::string::npos) << result.err;
  }
  ProgramResult result = verify("file.txt");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 3 records: 3 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
}

TEST_F(VerifyScenario, CataloguesThatCannotBeVerifiedEndWithReadError) {
  catalogue({"-m", "-o", elsewhere.at("list.txt")});
  std::string text = read_file(elsewhere.at("list.txt"));
  std::string edited = text;
  edited.replace(edited.find(" -m "), 4, " -B ");  // the layout no longer fits its records
  elsewhere.write("edited.txt", edited);
  catalogue({"-C", "two words", "-o", elsewhere.at("spaced.txt")}, "spaced.txt");
  elsewhere.write("no-header.txt", "a.txt 0123\n");

  const std::pair<std::string, std::string> cases[] = {
      {"absent.txt", "cannot be opened"},
      {"no-header.txt", "holds no run header"},
      {"edited.txt", "record 1 does not fit the layout"},
      {"spaced.txt", "cannot be read back"},
  };
  for (const auto& [name, message] : cases) {
    ProgramResult result = verify(name);
    EXPECT_EQ(result.status, 10) << name << result.err;
    EXPECT_NE(result.err.find(message), std::string::npos) << name << result.err;
    EXPECT_NE(result.err.find("READ_ERROR"), std::string::npos) << name;
    EXPECT_EQ(result.out.find("MISSING"), std::string::npos) << name;
  }
}

TEST_F(VerifyScenario, PathsThatHeldASpaceAreReadWhole) {
  tree.write("my docs/x.txt", "x-ray");
  tree.write("my docs/y.txt", "yankee");
  catalogue({tree.at("my docs"), "-r", "-w", "0", "-o", elsewhere.at("my list.txt")},
            "my list.txt");
  ProgramResult result = verify("my list.txt");
  EXPECT_EQ(result.status, 0) << result.err << result.out;
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 2 records: 2 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");

  tree.write("my docs/y.txt", "YANKEE");
  result = verify("my list.txt");
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(result.out, "CHANGED " + tree.at("my docs/y.txt") + "\n");
}

TEST_F(VerifyScenario, NothingOfTheCataloguesRunIsWrittenAgain) {
  catalogue({"-1", elsewhere.at("log.txt"), "-o", elsewhere.at("list.txt")});
  const std::string log = read_file(elsewhere.at("log.txt"));
  const std::string list = read_file(elsewhere.at("list.txt"));
  ProgramResult result =
      run_tallysum({.args = {"--verify", elsewhere.at("list.txt")},
                    .directory = tree.path(),
                    .environment = {"ACCT=" + elsewhere.at("env.log"), "SILENT=ON"}});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(elsewhere.at("log.txt")), log);
  EXPECT_EQ(read_file(elsewhere.at("list.txt")), list);
  EXPECT_FALSE(std::filesystem::exists(elsewhere.at("env.log")));
  EXPECT_NE(tally_line_of(result.err), "");  // SILENT is not consulted either
}

TEST_F(VerifyScenario, ACatalogueInsideTheTreeItListsIsLeftOutOfTheComparison) {
  ProgramResult written =
      run_tallysum({.args = {"-r", "-w", "0", "-o", "list.txt"}, .directory = tree.path()});
  ASSERT_EQ(written.status, 0) << written.err;
  ASSERT_NE(read_file(tree.at("list.txt")).find(tree.at("list.txt") + " "), std::string::npos);

  ProgramResult result = run_tallysum({.args = {"--verify", "list.txt"}, .directory = tree.path()});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 4 records: 4 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
  EXPECT_EQ(result.status, 0) << result.err;

  // A catalogue copied into the tree: the file being verified is left out too, while the
  // first catalogue is an ordinary file of it.
  ProgramResult copied = run_tallysum(
      {.args = {"-r", "-w", "0", "-o", elsewhere.at("copied.txt")}, .directory = tree.path()});
  ASSERT_EQ(copied.status, 0) << copied.err;
  tree.write("redirected.txt", read_file(elsewhere.at("copied.txt")));
  result = run_tallysum({.args = {"--verify", "redirected.txt"}, .directory = tree.path()});
  EXPECT_EQ(result.out, "") << result.err;
  EXPECT_EQ(result.status, 0);
  result = run_tallysum({.args = {"--verify", "list.txt"}, .directory = tree.path()});
  EXPECT_EQ(result.out, "NEW " + tree.at("redirected.txt") + "\n");
  EXPECT_EQ(result.status, 1);
}

}  // namespace
