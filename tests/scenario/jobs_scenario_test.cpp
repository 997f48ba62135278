// Runs with one worker and with several over the same trees: parallelism shows only as speed.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

// A run's text with what differs between any two runs (the clock, the echoed --jobs) made the
// same.
std::string without_clock(const std::string& text) {
  static const std::regex kStarted("Started [^\n]*");
  static const std::regex kElapsed("Elapsed: [^\n]*");
  static const std::regex kJobs(" --jobs [0-9]+");
  std::string out = std::regex_replace(text, kStarted, "Started");
  out = std::regex_replace(out, kElapsed, "Elapsed");
  return std::regex_replace(out, kJobs, "");
}

// Four directories of files of many sizes, one large enough to be shared among workers.
void make_jobs_tree(const TempDir& tree) {
  for (int d = 0; d < 4; ++d) {
    for (int f = 0; f < 30; ++f) {
      // Appended piece by piece: one long chain of + sets off a false overlap warning in
      // GCC 12 once inlined.
      std::string name = "d";
      name += std::to_string(d);
      name += f % 2 ? "/b" : "/a";
      name += std::to_string(f);
      name += f % 3 ? ".txt" : ".bin";
      tree.write(name,
                 std::string(static_cast<std::size_t>(f * 331 + d), static_cast<char>('a' + f)));
    }
  }
  tree.write("d1/large.bin", std::string(5 << 20, 'L'));  // large enough to be shared
  tree.write("top.txt", "top");
}

// One worker, four and the default give the same output, error text, output file and status.
void expect_jobs_change_nothing(const TempDir& tree) {
  TempDir place;
  const std::string list = place.at("list.txt");
  const std::vector<std::vector<std::string>> option_sets = {
      {"-r"},
      {"-r", "-S", "-m", "-R"},
      {"-r", "-f", "*.txt", "b*", "-B", "-c", "-512"},
      {"-r", "-o", list},
  };
  for (const auto& options : option_sets) {
    ProgramResult results[3];
    std::string files[3];
    const char* jobs[3] = {"1", "4", nullptr};
    for (int i = 0; i < 3; ++i) {
      std::vector<std::string> args = {tree.path()};
      args.insert(args.end(), options.begin(), options.end());
      if (jobs[i] != nullptr) args.insert(args.end(), {"--jobs", jobs[i]});
      results[i] = run_tallysum({.args = args});
      if (options.back() == list) files[i] = read_file(list);
    }
    const std::string what = options.back();
    EXPECT_EQ(results[0].status, 0) << what << results[0].err;
    EXPECT_GE(lines_of(results[0].out + files[0]).size(), 60u) << what;
    for (int i = 1; i < 3; ++i) {
      const std::string run = what + (jobs[i] != nullptr ? " --jobs 4" : " default jobs");
      EXPECT_EQ(results[i].status, results[0].status) << run;
      EXPECT_EQ(without_clock(results[i].out), without_clock(results[0].out)) << run;
      EXPECT_EQ(without_clock(results[i].err), without_clock(results[0].err)) << run;
      EXPECT_EQ(without_clock(files[i]), without_clock(files[0])) << run;
    }
  }
}

}  // namespace

TEST(DriverScenario, JobsChangeNothingButTheSpeed) {
  TempDir tree;
  make_jobs_tree(tree);
  set_xattr(tree.at("d0/a0.bin"), "user.note", "stream of a file");
  set_xattr(tree.at("d3"), "user.note", "stream of a directory");
  expect_jobs_change_nothing(tree);
}

TEST(DriverScenario, JobsChangeNothingWhereFilesAndDirectoriesCannotBeRead) {
#ifdef _WIN32
  GTEST_SKIP() << "made unreadable through the system's users and permissions";
#else
  TempDir tree;
  make_jobs_tree(tree);
  tree.write("shut/away.txt", "x");
  tree.write("d2/locked.txt", "secret");
  chmod(tree.at("d2/locked.txt").c_str(), 0);
  chmod(tree.at("shut").c_str(), 0);
  expect_jobs_change_nothing(tree);
  if (geteuid() != 0) {  // the superuser reads everything
    ProgramResult result = run_tallysum({.args = {tree.path(), "-r", "--jobs", "3"}});
    EXPECT_NE(result.err.find("Can't open file for reading"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Can't read directory"), std::string::npos) << result.err;
  }
  chmod(tree.at("shut").c_str(), 0700);
#endif
}

TEST(DriverScenario, JobsTakesOneWholeNumberOfWorkers) {
  TempDir tree;
  tree.write("a.txt", "a");
  for (const std::vector<std::string>& jobs : {std::vector<std::string>{"--jobs", "0"},
                                               {"--jobs", "-2"},
                                               {"--jobs", "2x"},
                                               {"--jobs=99999"},
                                               {"--jobs"},
                                               {"--job", "2"},
                                               {"-r", "--jobs", ""}}) {
    std::vector<std::string> args = {tree.path()};
    args.insert(args.end(), jobs.begin(), jobs.end());
    ProgramResult result = run_tallysum({.args = args});
    EXPECT_EQ(result.status, 5) << jobs.back();
    EXPECT_EQ(result.out.find("a.txt"), std::string::npos) << jobs.back();
    EXPECT_NE(result.err.find(jobs[0] == "--job" ? "Unknown option --job" : "--jobs"),
              std::string::npos)
        << result.err;
  }
  for (const std::vector<std::string>& jobs :
       {std::vector<std::string>{"--jobs", "1"}, {"--jobs=2"}, {"-.ini", "--jobs", "3"}}) {
    std::vector<std::string> args = {tree.path()};
    args.insert(args.end(), jobs.begin(), jobs.end());
    ProgramResult result = run_tallysum({.args = args});
    EXPECT_EQ(result.status, 0) << jobs.back() << result.err;
    EXPECT_NE(result.out.find("a.txt"), std::string::npos) << jobs.back();
  }
}

// The run ends at the first pause prompt (its input is empty) while the workers are still
// reading the files ahead of it: the same whole records as one thread, and a clean exit.
TEST(DriverScenario, ARunEndedWhileWorkersReadAheadStopsLikeOneThread) {
  TempDir tree;
  for (int f = 0; f < 300; ++f) {
    std::string name = "f";
    name += std::to_string(1000 + f);
    tree.write(name + ".bin",
               std::string(static_cast<std::size_t>(f * 1013), static_cast<char>(f)));
  }
  ProgramResult results[2];
  const char* jobs[2] = {"1", "4"};
  for (int i = 0; i < 2; ++i) {
    results[i] = run_tallysum({.args = {tree.path(), "-P", "--jobs", jobs[i]}});
  }
  EXPECT_EQ(results[0].status, 1) << results[0].err;
  EXPECT_EQ(results[1].status, 1) << results[1].err;
  EXPECT_EQ(without_clock(results[1].out), without_clock(results[0].out));
  EXPECT_EQ(without_clock(results[1].err), without_clock(results[0].err));
  EXPECT_EQ(records_naming(results[1].out, {"f1"}).size(), 23u) << results[1].out;
}
