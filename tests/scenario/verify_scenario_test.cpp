// Verifying a catalogue against the disk: a tree catalogued, changed, and verified as a user
// would, from the directory the catalogue's paths were given in.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/disk_setup.h"
#include "support/file_stamps.h"
#include "support/reference_digest.h"
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

TEST_F(VerifyScenario, EachDifferenceIsReportedOnceInWalkOrderWithTheColumnsThatDiffer) {
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

  // The walk's order: the subdirectory first, then the files below the start, sorted.
  EXPECT_EQ(result.out, "MISSING " + tree.at("sub/c.txt") + "\nCHANGED " + tree.at("a.txt:one") +
                            " (MD5)\nCHANGED " + tree.at("b.txt") + " (last write, MD5)\nNEW " +
                            tree.at("e.txt") + "\nNEW " + tree.at("f.txt") + "\n");
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 7 records: 2 unchanged, 2 changed, 1 missing, 2 new, 0 unreadable");
  EXPECT_EQ(result.status, 1) << result.err;
  // Nothing of the repeated listing was written: the catalogue is as the run left it.
  EXPECT_EQ(read_file(elsewhere.at("list.txt")), written);
}

// Two catalogues of the same tree, a year apart: the same lines as a verification, the digest
// kinds only one holds left out and said so, and catalogues that cannot be matched refused.
TEST_F(VerifyScenario, TwoCataloguesAreComparedOnTheColumnsBothHold) {
  catalogue({"-r", "-w", "0", "-m", "-o", elsewhere.at("old.txt")}, "old.txt");
  catalogue({"-c", "-r", "-w", "0", "-o", elsewhere.at("crc.txt")}, "crc.txt");
  catalogue({"-m", "-o", elsewhere.at("bare.txt")}, "bare.txt");
  tree.write("b.txt", "BRAVO");
  std::remove(tree.at("sub/c.txt").c_str());
  tree.write("e.txt", "echo");
  catalogue({"-r", "-w", "0", "-m", "-B", "-o", elsewhere.at("new.txt")}, "new.txt");
  auto compare = [this](const char* older, const char* newer) {
    return run_tallysum({.args = {"--compare", elsewhere.at(older), elsewhere.at(newer)}});
  };

  ProgramResult result = compare("old.txt", "new.txt");
  EXPECT_EQ(result.out, "MISSING " + tree.at("sub/c.txt") + "\nCHANGED " + tree.at("b.txt") +
                            " (last write, MD5)\nNEW " + tree.at("e.txt") + "\n");
  EXPECT_NE(result.err.find("Left out of the comparison, held only by " + elsewhere.at("new.txt") +
                            ": SHA-1\n"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("Compared 5 records: 2 unchanged, 1 changed, 1 missing, 1 new, "
                            "0 unreadable\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.status, 1);

  result = compare("new.txt", "new.txt");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.status, 0) << result.err;
  // The same tree catalogued in another zone, and as data: the same instants.
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"-r", "-w", "0", "-m", "-o", elsewhere.at("est.txt")},
        std::vector<std::string>{"-r", "-m", "--format", "json", "-o",
                                 elsewhere.at("list.json")}}) {
    ASSERT_EQ(run_tallysum({.args = options, .directory = tree.path(), .environment = {"TZ=EST5"}})
                  .status,
              0);
  }
  for (const char* other : {"est.txt", "list.json"}) {
    result = compare(other, "new.txt");
    EXPECT_EQ(result.out, "") << other;
    EXPECT_EQ(result.status, 0) << other << result.err;
  }
  EXPECT_NE(compare("est.txt", "new.txt").err.find("Zone: "), std::string::npos);

  const std::pair<const char*, const char*> unmatched[] = {
      {"crc.txt", "no digest kind in common (CRC-32 against MD5, SHA-1)"},
      {"bare.txt", "one shows bare names and the other paths"},
  };
  for (const auto& [older, why] : unmatched) {
    result = compare(older, "new.txt");
    EXPECT_EQ(result.status, 10) << older << result.err;
    EXPECT_NE(result.err.find(why), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "") << older;
  }
  result = compare("absent.txt", "new.txt");
  EXPECT_EQ(result.status, 10) << result.err;
  EXPECT_NE(result.err.find("absent.txt cannot be compared: "), std::string::npos) << result.err;
}

// CSV and JSON catalogues are read back as the fixed-width one is: verified with the options
// that follow their name in any zone (their times name instants), compared with each other,
// and an edited copy (one digest changed, one row removed) is caught.
TEST_F(VerifyScenario, DataCataloguesAreVerifiedAndComparedAndAnEditedOneIsCaught) {
#ifndef _WIN32
  tree.write("we,ird \"q\"\nname.txt", "odd");
#endif
  for (const char* format : {"csv", "json"}) {
    const std::string name = std::string("list.") + format;
    ProgramResult written =
        run_tallysum({.args = {"-r", "-m", "-B", "--format", format, "-o", elsewhere.at(name)},
                      .directory = tree.path()});
    ASSERT_EQ(written.status, 0) << written.err;
    ProgramResult result = run_tallysum({.args = {"--verify", elsewhere.at(name), "-r", "-m", "-B"},
                                         .directory = tree.path(),
                                         .environment = {"TZ=EST5EDT"}});
    EXPECT_EQ(result.out, "") << format;
    EXPECT_EQ(result.status, 0) << format << result.err;
    result = verify(name);
    EXPECT_EQ(result.status, 10) << format;
    EXPECT_NE(result.err.find("do not say which directories its run walked"), std::string::npos)
        << result.err;
  }
  ProgramResult result =
      run_tallysum({.args = {"--compare", elsewhere.at("list.json"), elsewhere.at("list.csv")}});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.status, 0) << result.err;

  std::string edited;
  for (const std::string& line : lines_of(read_file(elsewhere.at("list.csv")))) {
    if (line.find("d.txt") != std::string::npos) continue;
    std::string row = line;
    // b.txt's MD5 ("bravo") turned into that of "BRAVO".
    const std::size_t at = row.find("FD9AB41E47A9EF4F6477A8A000BF404F");
    if (at != std::string::npos) row.replace(at, 32, "7C2AE9A55A2F2D6E7B2A0E5E3B23B4D1");
    edited += row + "\n";
  }
  ASSERT_NE(edited, read_file(elsewhere.at("list.csv")));
  elsewhere.write("edited.csv", edited);
  result =
      run_tallysum({.args = {"--compare", elsewhere.at("list.json"), elsewhere.at("edited.csv")}});
  EXPECT_EQ(result.out,
            "CHANGED " + tree.at("b.txt") + " (MD5)\nMISSING " + tree.at("d.txt") + "\n");
  EXPECT_EQ(result.status, 1) << result.err;
  result = run_tallysum({.args = {"--verify", elsewhere.at("edited.csv"), "-r", "-m", "-B"},
                         .directory = tree.path()});
  EXPECT_EQ(result.out, "CHANGED " + tree.at("b.txt") + " (MD5)\nNEW " + tree.at("d.txt") + "\n");
  EXPECT_EQ(result.status, 1) << result.err;
}

// The log kept apart from the catalogues shows an edit of one: a digest changed and a record
// removed, or only its summary touched, which alone ends the verification with status 1.
TEST_F(VerifyScenario, TheLogShowsWhetherACatalogueWasAlteredSinceItWasWritten) {
  const std::string log = elsewhere.at("runs.log");
  catalogue({"-r", "-w", "0", "-m", "-o", elsewhere.at("list.txt"), "-1", log});
  auto verify_with_log = [&](const std::string& name) {
    return run_tallysum(
        {.args = {"--verify", elsewhere.at(name), "--log", log}, .directory = tree.path()});
  };
  ProgramResult result = verify_with_log("list.txt");
  EXPECT_EQ(result.err.rfind("Catalogue matches its log entry\n", 0), 0U) << result.err;
  EXPECT_EQ(result.status, 0);
  // Appended: the last run's entry holds the digest of the whole file.
  catalogue({"-r", "-w", "0", "-m", "-O", elsewhere.at("list.txt"), "-1", log});
  result = run_tallysum({.args = {"--verify", elsewhere.at("list.txt")},
                         .directory = tree.path(),
                         .environment = {"ACCT=" + log}});
  EXPECT_NE(result.err.find("Catalogue matches its log entry\n"), std::string::npos) << result.err;
  EXPECT_EQ(result.status, 0);

  const std::string text = read_file(elsewhere.at("list.txt"));
  elsewhere.write("copy.txt", text);
  result = verify_with_log("copy.txt");
  EXPECT_EQ(result.err.rfind("No log entry for this catalogue\n", 0), 0U) << result.err;

  std::string edited = text;
  // In the last run: b.txt's MD5 ("bravo") made that of "BRAVO", and d.txt's record removed.
  const std::size_t digest = edited.rfind("FD9AB41E47A9EF4F6477A8A000BF404F");
  ASSERT_NE(digest, std::string::npos);
  edited.replace(digest, 32, "7C2AE9A55A2F2D6E7B2A0E5E3B23B4D1");
  const std::size_t record = edited.rfind(tree.at("d.txt"));
  edited.erase(record, edited.find('\n', record) + 1 - record);
  elsewhere.write("list.txt", edited);
  result = verify_with_log("list.txt");
  EXPECT_EQ(result.err.rfind("Catalogue altered since it was written\n", 0), 0U) << result.err;
  EXPECT_EQ(result.out, "CHANGED " + tree.at("b.txt") + " (MD5)\nNEW " + tree.at("d.txt") + "\n");
  EXPECT_EQ(result.status, 1);

  std::string summary_only = text;
  summary_only.replace(summary_only.rfind("Elapsed"), 7, "ELAPSED");
  elsewhere.write("list.txt", summary_only);
  result = verify_with_log("list.txt");
  EXPECT_EQ(result.err.rfind("Catalogue altered since it was written\n", 0), 0U) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.status, 1);
  result = run_tallysum(
      {.args = {"--compare", elsewhere.at("copy.txt"), elsewhere.at("list.txt"), "--log", log}});
  EXPECT_NE(result.err.find("Catalogue altered since it was written (" + elsewhere.at("list.txt") +
                            ")\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.status, 1);
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

// The disk's facts are taken as the records show them, under every layout the options give:
// an unchanged tree is unchanged whatever the catalogue's options were.
TEST_F(VerifyScenario, AnUnchangedTreeIsUnchangedUnderEveryLayout) {
  const std::vector<std::vector<std::string>> option_sets = {
      {"-m"},
      {"-T3", "-d", ","},
      {"-B", "-8", "-m"},
      {"-A3", "-c"},
      {"-C", "note", "-U", "-m", "-z", "-t3"},
      {"-256", "-tA", "-r"},
      {"-N", "-r", "-w", "0"},
      {"-r", "-w", "0", "-A2", "-512", "-tC", "-8"},
      {"-s", "-d", "|", "-T", "a", "-W", "200", "-r"},
      {"-n", "-r", "-m", "-384"},
      {"-r", "-w", "5", "-tW"},
  };
  for (std::vector<std::string> options : option_sets) {
    const std::string shown = testing::PrintToString(options);
    options.insert(options.end(), {"-o", elsewhere.at("list.txt")});
    catalogue(options);
    ProgramResult result = verify();
    EXPECT_EQ(result.status, 0) << shown << result.err << result.out;
    EXPECT_EQ(result.out, "") << shown;
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
  EXPECT_EQ(result.out, "CHANGED d.txt (last write)\n");
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 3 records: 2 unchanged, 1 changed, 0 missing, 0 new, 0 unreadable");
  EXPECT_EQ(result.status, 1);
}

// Shortened names may repeat: they are matched in the walk's order, and the advice names a
// width that shows every path whole.
TEST_F(VerifyScenario, ShortenedNamesAreMatchedInOrderAndTheAdviceNamesAWidthThatFits) {
  tree.write("one/longname_first.txt", "1");
  tree.write("two/longname_other.txt", "2");
  catalogue({"-r", "-w", "12", "-o", elsewhere.at("list.txt")});
  ProgramResult result = verify();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 6 records: 6 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
  const std::string width = std::to_string(tree.at("one/longname_first.txt").size());
  EXPECT_NE(result.err.find("write the catalogue with -w " + width + ", which fits"),
            std::string::npos)
      << result.err;

  // The two longnames share their cut name: the second is the one that changed.
  tree.write("two/longname_other.txt", "changed");
  result = verify();
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 6 records: 5 unchanged, 1 changed, 0 missing, 0 new, 0 unreadable");

  catalogue({"-r", "-w", width, "-o", elsewhere.at("whole.txt")}, "whole.txt");
  result = verify("whole.txt");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err.find("write the catalogue with"), std::string::npos) << result.err;
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

// A listing whose header echoes no command line is verified with the options that follow its
// name; without them it is refused, with that advice.
TEST_F(VerifyScenario, OptionsAfterTheNameStandInForAnEchoedCommandLine) {
  ProgramResult named = run_tallysum({.args = {"-o", "stdout"}, .directory = tree.path()});
  ASSERT_EQ(named.status, 0);
  elsewhere.write("named.txt", named.out);
  ProgramResult plain = run_tallysum({.args = {"-m", "-B"}, .directory = tree.path()});
  ASSERT_EQ(plain.status, 0);
  elsewhere.write("plain.txt", plain.out);

  ProgramResult result = run_tallysum(
      {.args = {"--verify", elsewhere.at("named.txt"), "-9"}, .directory = tree.path()});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 3 records: 3 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
  // Standard output, named or not, carries the console's header, without the command line.
  for (const char* name : {"named.txt", "plain.txt"}) {
    result = verify(name);
    EXPECT_EQ(result.status, 10) << name;
    EXPECT_NE(result.err.find("echoes no command line"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Give the options it was written with after its name"),
              std::string::npos)
        << result.err;
  }

  tree.write("d.txt", "DELTA");
  result = run_tallysum(
      {.args = {"--verify", elsewhere.at("plain.txt"), "-m", "-B"}, .directory = tree.path()});
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(result.out, "CHANGED d.txt (last write, MD5, SHA-1)\n");
  // Options a verification cannot take end it as any bad option does.
  for (const char* option : {"-?", "-k", "-x"}) {
    result = run_tallysum(
        {.args = {"--verify", elsewhere.at("plain.txt"), option}, .directory = tree.path()});
    EXPECT_EQ(result.status, 5) << option << result.err;
    EXPECT_EQ(result.out, "") << option;
  }
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
  EXPECT_EQ(result.out, "CHANGED " + tree.at("my docs/y.txt") + " (MD5)\n");
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

// Several workers read the files; the report is the one a single reader gives.
TEST_F(VerifyScenario, WorkersReadTheFilesAndTheReportStaysTheSame) {
  for (int i = 0; i < 200; ++i) tree.write("many/" + std::to_string(1000 + i), std::to_string(i));
  catalogue({"-r", "-w", "0", "-m", "-o", elsewhere.at("list.txt")});
  for (int i = 0; i < 200; i += 37) tree.write("many/" + std::to_string(1000 + i), "changed");
  std::remove(tree.at("many/1100").c_str());
  tree.write("many/new", "new");
  std::string report;
  for (const char* jobs : {"1", "4"}) {
    ProgramResult result = run_tallysum(
        {.args = {"--verify", elsewhere.at("list.txt"), "--jobs", jobs}, .directory = tree.path()});
    EXPECT_EQ(result.status, 1) << jobs << result.err;
    EXPECT_EQ(tally_line_of(result.err),
              "Verified 205 records: 197 unchanged, 6 changed, 1 missing, 1 new, 0 unreadable")
        << jobs;
    if (report.empty()) report = result.out;
    EXPECT_EQ(result.out, report) << jobs;
  }
  EXPECT_EQ(lines_of(report).size(), 8u) << report;
}

// A name with a line feed and one with '?' in its place are two records, read back apart.
TEST_F(VerifyScenario, EscapedNamesAreReadBackAndToldApart) {
  if (kSeparator != '/') GTEST_SKIP() << "no control characters in names here";
  tree.write("a\nb.txt", "line feed");
  tree.write("a?b.txt", "question mark");
  catalogue({"-r", "-w", "0", "-o", elsewhere.at("list.txt")});
  ASSERT_NE(read_file(elsewhere.at("list.txt")).find("\n\\" + tree.at("a\\nb.txt")),
            std::string::npos);
  ProgramResult result = verify();
  EXPECT_EQ(result.status, 0) << result.err << result.out;
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 6 records: 6 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
  tree.write("a\nb.txt", "LINE FEED");
  result = verify();
  EXPECT_EQ(result.out, "CHANGED " + tree.at("a\\nb.txt") + " (MD5)\n");
}

struct Stamps {
  DiskStamp access, write, change;
  bool operator==(const Stamps& o) const {
    auto same = [](const DiskStamp& a, const DiskStamp& b) {
      return a.seconds == b.seconds && a.nanoseconds == b.nanoseconds;
    };
    return same(access, o.access) && same(write, o.write) && same(change, o.change);
  }
};

// Every stamp of every file below `root`.
std::map<std::string, Stamps> stamps_below(const std::string& root) {
  std::map<std::string, Stamps> stamps;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    Stamps s;
    const std::string path = entry.path().string();
    EXPECT_TRUE(read_stamps(path, &s.access, &s.write)) << path;
    EXPECT_TRUE(read_change_stamp(path, &s.change)) << path;
    stamps[path] = s;
  }
  return stamps;
}

// The options that would reset, pause, write a log or show help are in the echoed line; the
// verification does none of it, on a writable tree and on a read-only one alike.
TEST_F(VerifyScenario, NoOptionOfTheEchoedLineMakesAVerificationWriteOrAsk) {
  for (int i = 0; i < 30; ++i) tree.write("p/" + std::to_string(100 + i) + ".txt", "page");
  catalogue(
      {"-r", "-w", "0", "-m", "-R", "-1", elsewhere.at("log.txt"), "-o", elsewhere.at("list.txt")});
  std::string text = read_file(elsewhere.at("list.txt"));
  text.replace(text.find(" -R "), 4, " -R -P -? -k -@ ");
  elsewhere.write("list.txt", text);
  const std::string log = read_file(elsewhere.at("log.txt"));

  auto verified_unchanged = [this](const char* where) {
    ProgramResult result = verify();
    EXPECT_EQ(result.status, 0) << where << result.err;
    EXPECT_EQ(result.out, "") << where;
    EXPECT_EQ(tally_line_of(result.err),
              "Verified 34 records: 34 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable")
        << where;
    EXPECT_NE(result.err.find("Passed over -? of the catalogue's command line"), std::string::npos)
        << where << result.err;
    for (const char* said : {"reset filetime", "Hit return", "Wait for help", "SHA-2 code"}) {
      EXPECT_EQ(result.err.find(said), std::string::npos) << where << said;
      EXPECT_EQ(result.out.find(said), std::string::npos) << where << said;
    }
  };
  // Reading may move a file's access stamp; putting it back would change the file's change
  // stamp.
  std::map<std::string, Stamps> before = stamps_below(tree.path());
  verified_unchanged("writable");
  for (auto& [path, stamps] : stamps_below(tree.path())) {
    EXPECT_EQ(stamps.change.seconds, before[path].change.seconds) << path;
    EXPECT_EQ(stamps.change.nanoseconds, before[path].change.nanoseconds) << path;
  }
  EXPECT_EQ(read_file(elsewhere.at("log.txt")), log);

  std::string why;
  if (!mount_read_only(tree.path(), tree.path(), &why)) {
    GTEST_SKIP() << "no read-only view of the tree: " << why;
  }
  before = stamps_below(tree.path());
  verified_unchanged("read-only");
  const std::map<std::string, Stamps> after = stamps_below(tree.path());
  unmount(tree.path());
  EXPECT_TRUE(after == before);
  EXPECT_EQ(read_file(elsewhere.at("log.txt")), log);
}

// An interrupt or a request to terminate ends a verification at once, even in the middle of
// a large file.
TEST_F(VerifyScenario, AnInterruptEndsAVerification) {
#ifdef _WIN32
  GTEST_SKIP() << "no signals here, and Ctrl-C reaches only a program with a console";
#endif
  tree.write("a/x.txt", "x");
  catalogue({"-r", "-o", elsewhere.at("list.txt")});
  tree.write("a/x.txt", "changed");
  tree.write("b/big.bin", "");
  std::filesystem::resize_file(tree.at("b/big.bin"), std::uintmax_t{2} << 30);
  for (int signal : {SIGTERM, SIGINT}) {
    ProgramResult result = run_tallysum({.args = {"--verify", elsewhere.at("list.txt")},
                                         .directory = tree.path(),
                                         .signal = signal,
                                         .signal_when = "CHANGED"});
    EXPECT_EQ(result.status, 2) << signal << result.err;
    EXPECT_NE(result.err.find("INPUT_FILE"), std::string::npos) << result.err;
    EXPECT_EQ(tally_line_of(result.err), "");
  }
}

// However many words an echoed line holds, reading it back ends: here they are patterns that
// match nothing, but for the last, which selects every file.
TEST_F(VerifyScenario, AnEchoedLineOfThousandsOfWordsIsReadBack) {
  catalogue({"-r", "-w", "0", "-o", elsewhere.at("list.txt")});
  std::string text = read_file(elsewhere.at("list.txt"));
  std::string words;
  for (int i = 0; i < 4000; ++i) words += " w" + std::to_string(i);
  text.insert(text.find(" -r "), words + " *");
  elsewhere.write("list.txt", text);
  ProgramResult result = verify();
  EXPECT_EQ(result.status, 0) << result.err.substr(0, 400);
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 4 records: 4 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
  // Without it, no word selects the catalogue's first record: the verification stops there.
  elsewhere.write("list.txt", text.replace(text.find(" * -r "), 2, ""));
  result = verify();
  EXPECT_EQ(result.status, 10) << result.err.substr(0, 400);
  EXPECT_NE(result.err.find("file patterns this verification reads (w0, w1, w2, ...)"),
            std::string::npos)
      << result.err.substr(0, 400);
}

// Relative search paths are taken from --root, else from here; a catalogue verified from the
// wrong place stops before it walks, and says how to name the right one.
TEST_F(VerifyScenario, ACatalogueVerifiesFromAnywhereGivenItsRoot) {
  catalogue({"-r", "-w", "0", "-o", elsewhere.at("full.txt")}, "full.txt");
  catalogue({"-o", elsewhere.at("bare.txt")}, "bare.txt");
  catalogue({tree.path(), "-r", "-w", "0", "-o", elsewhere.at("absolute.txt")}, "absolute.txt");
  // From inside "sub", the search path "sub" names no directory and reads as a file pattern.
  catalogue({"sub", "-r", "-w", "0", "-o", elsewhere.at("named.txt")}, "named.txt");
  ProgramResult inside =
      run_tallysum({.args = {"--verify", elsewhere.at("named.txt")}, .directory = tree.at("sub")});
  EXPECT_EQ(inside.status, 10) << inside.err;
  EXPECT_NE(inside.err.find("--root DIR"), std::string::npos) << inside.err;
  for (const char* name : {"full.txt", "bare.txt"}) {
    for (const std::string& from : {tree.at("sub"), elsewhere.path()}) {
      ProgramResult result =
          run_tallysum({.args = {"--verify", elsewhere.at(name)}, .directory = from});
      EXPECT_EQ(result.status, 10) << name << from << result.err;
      EXPECT_NE(result.err.find("--root DIR"), std::string::npos) << result.err;
      EXPECT_EQ(result.out, "") << name << from;
      EXPECT_EQ(tally_line_of(result.err), "") << name << from;
      result = run_tallysum(
          {.args = {"--verify", elsewhere.at(name), "--root", tree.path()}, .directory = from});
      EXPECT_EQ(result.status, 0) << name << from << result.err;
      EXPECT_EQ(result.out, "") << name << from;
    }
  }
  ProgramResult result = run_tallysum(
      {.args = {"--verify", elsewhere.at("absolute.txt")}, .directory = elsewhere.path()});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 4 records: 4 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
}

// A catalogue continued over removable disks is verified given its files in order.
TEST_F(VerifyScenario, ACatalogueContinuedOverDisksIsVerifiedFromItsFilesInOrder) {
  catalogue({"-r", "-w", "0", "-m", "-o", elsewhere.at("list.txt")});
  std::vector<std::string> lines = lines_of(read_file(elsewhere.at("list.txt")));
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // as_written puts it back
  }
  // As a full disk leaves it: the header and two records, then the continuation line; the
  // next disk's file holds the rest of the records and the summary.
  std::string first;
  std::size_t at = 0;
  for (int records = 0; records < 2; ++at) {
    first += lines[at] + "\n";
    if (at > 3 && !lines[at].empty()) ++records;
  }
  first += "\n Processed 2 files, 12 bytes:  See continuation disk \n";
  std::string second;
  for (; at < lines.size(); ++at) second += lines[at] + "\n";
  elsewhere.write("disk1.txt", as_written(first));
  elsewhere.write("disk2.txt", as_written(second));

  ProgramResult result =
      run_tallysum({.args = {"--verify", elsewhere.at("disk1.txt"), elsewhere.at("disk2.txt")},
                    .directory = tree.path()});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 4 records: 4 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
  result = verify("disk1.txt");
  EXPECT_EQ(result.status, 10);
  EXPECT_NE(result.err.find("goes on on another disk: name its file too"), std::string::npos)
      << result.err;

  // The run's log entry keeps one digest per disk, in disk order: each disk is checked.
  const std::string one = reference_digest("sha256", elsewhere.at("disk1.txt"));
  const std::string two = reference_digest("sha256", elsewhere.at("disk2.txt"));
  if (one.empty() || two.empty()) GTEST_SKIP() << kReferenceSource << " gives no SHA-256";
  elsewhere.write("runs.log", "\n" + std::string(59, '*') + "\n\n" + lines[1] +
                                  "\ntallysum -r -o A:\\disk1.txt \n\n  Catalogue SHA-256: " + one +
                                  "\n  Catalogue SHA-256: " + two + "\n" + std::string(53, '*') +
                                  "\n");
  const std::vector<std::string> both = {"--verify", elsewhere.at("disk1.txt"),
                                         elsewhere.at("disk2.txt"), "--log",
                                         elsewhere.at("runs.log")};
  result = run_tallysum({.args = both, .directory = tree.path()});
  EXPECT_EQ(result.err.rfind("Catalogue matches its log entry\n", 0), 0U) << result.err;
  EXPECT_EQ(result.status, 0);
  elsewhere.write("disk2.txt", as_written(second + " "));
  result = run_tallysum({.args = both, .directory = tree.path()});
  EXPECT_EQ(result.err.rfind("Catalogue altered since it was written\n", 0), 0U) << result.err;
  EXPECT_EQ(result.status, 1);
}

// A catalogue written on the other system, or in another zone: its names compare in the form
// both systems share and its times as the instants they name; a zone column that differs is
// said once.
TEST_F(VerifyScenario, ACatalogueOfAnotherSystemOrZoneComparesItsNamesAndInstants) {
  if (kSeparator != '/') GTEST_SKIP() << "the other system's catalogue is made from this one's";
  catalogue({"-r", "-w", "0", "-m", "-o", elsewhere.at("list.txt")});
  std::string windows;
  for (std::string line : lines_of(read_file(elsewhere.at("list.txt")))) {
    if (line.rfind(tree.path(), 0) == 0) {
      // The name column: the path with a drive and backslashes, padded to 260 again; the
      // zone column as that system spells it.
      std::string name = line.substr(0, line.find(' '));
      std::string rest = line.substr(260);
      rest.replace(rest.rfind("UTC"), 3, " UT");
      std::replace(name.begin(), name.end(), '/', '\\');
      name = "Z:" + name;
      line = name + std::string(260 - name.size(), ' ') + rest;
    } else if (line.find(" -r ") != std::string::npos) {
      line = "Z:\\bin\\tallysum.exe -r -w 0 -m -o Z:\\tmp\\list.txt ";
    }
    windows += line + "\r\n";
  }
  elsewhere.write("windows.txt", windows);
  ProgramResult result = verify("windows.txt");
  EXPECT_EQ(result.status, 0) << result.err << result.out;
  EXPECT_EQ(tally_line_of(result.err),
            "Verified 4 records: 4 unchanged, 0 changed, 0 missing, 0 new, 0 unreadable");
  // Said once, not once a record.
  EXPECT_EQ(result.err.find("Zone: "), result.err.rfind("Zone: ")) << result.err;
  EXPECT_NE(
      result.err.find("Zone: the catalogue's records say UT, this system's UTC: the same zone"),
      std::string::npos)
      << result.err;

  ProgramResult eastern =
      run_tallysum({.args = {"-r", "-w", "0", "-m", "-o", elsewhere.at("est.txt")},
                    .directory = tree.path(),
                    .environment = {"TZ=EST5"}});
  ASSERT_EQ(eastern.status, 0) << eastern.err;
  result = verify("est.txt");
  EXPECT_EQ(result.status, 0) << result.err << result.out;
  EXPECT_NE(result.err.find("Zone: the catalogue's records say EST, this system's UTC; its times"),
            std::string::npos)
      << result.err;
  ASSERT_TRUE(set_stamps(tree.at("a.txt"), {kWrite}, {kWrite + 3600}));
  result = verify("est.txt");
  EXPECT_EQ(result.out, "CHANGED " + tree.at("a.txt") + " (last write)\n");
}

}  // namespace
