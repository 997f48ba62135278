#include "output/ordered_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/completion.h"
#include "output/destinations.h"
#include "output/file_record.h"
#include "output/stream_record.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "support/captured_streams.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

// A text as written, with the system's line ends read back as "\n".
std::string as_read(const std::string& written) {
  const std::string line_end = kLineEnd;
  std::string text;
  for (std::size_t at = 0; at < written.size();) {
    if (written.compare(at, line_end.size(), line_end) == 0) {
      text += '\n';
      at += line_end.size();
    } else {
      text += written[at++];
    }
  }
  return text;
}

// One file at a time on this thread, as a run with one job writes them.
class OneAtATime : public WalkSink {
 public:
  void file(const Directory& dir, const DirEntry& entry) override { write_file_record(dir, entry); }
  void directory_streams(const Directory& parent, const std::string& name, const std::string& path,
                         int n) override {
    list_directory_streams(n, parent, name, path);
  }
};

// Real files, and what a disk does not give on demand: a file and a subdirectory that cannot
// be opened, and Ctrl-C arriving when a chosen file is opened, on whichever thread opens it.
// Counts the files opened ahead of the keyboard polls, which come one per file in walk order
// on the writing thread (the refused file counts as opened).
class TreePlatform : public ScriptedPlatform {
 public:
  std::string refused_file;
  std::string refused_directory;
  std::string interrupt_at;
  std::atomic<int> opens{0};
  int polls = 0;
  int most_ahead = 0;
  bool polls_see_keys = true;  // false: only a prompt reads the keys
  bool slow_disk = false;      // every open waits as a disk would

  InputHandle open_file(const Directory& dir, const std::string& name, InputAccess access,
                        std::string* error) override {
    if (slow_disk) std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (name == interrupt_at) interrupted = true;
    if (name == refused_file) return nullptr;
    ++opens;
    return native_platform().open_file(dir, name, access, error);
  }
  InputHandle open_file_shared(const Directory& dir, const std::string& name, InputAccess access,
                               std::string* error) override {
    if (name == refused_file) {
      ++opens;
      return nullptr;
    }
    return native_platform().open_file_shared(dir, name, access, error);
  }
  DirHandle open_subdirectory(const Directory& parent, const std::string& name,
                              std::string* error) override {
    if (name == refused_directory) {
      *error = "Permission denied";
      return nullptr;
    }
    return native_platform().open_subdirectory(parent, name, error);
  }
  bool key_waiting() override {
    ++polls;
    most_ahead = std::max(most_ahead, opens.load() - polls);
    return polls_see_keys && ScriptedPlatform::key_waiting();
  }
};

struct Catalogue {
  std::string output;
  std::string messages;
  RunCounters counters;
  int key_reads = 0;
};

class OrderedRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int d = 0; d < 3; ++d) {
      for (int f = 0; f < 25; ++f) {
        std::string name = "d";
        name.append(std::to_string(d)).append("/f").append(std::to_string(f));
        name.append(f % 3 == 0 ? ".txt" : ".dat");
        tree.write(name, std::string(static_cast<std::size_t>(f * 97 + d),
                                     static_cast<char>('a' + f % 26)));
      }
    }
    tree.write("locked/x.txt", "never listed");
    tree.write("top.txt", "top");
    tree.write("g1.txt", std::string(70000, 'g'));
    set_xattr(tree.at("d1/f2.dat"), "user.note", "a stream");
    set_xattr(tree.at("d2"), "user.dirnote", "a directory's stream");
    platform.refused_file = "f7.dat";
    platform.refused_directory = "locked";
  }

  // Start-up as the driver leaves it for the main pass over the tree, with `args` after it.
  void start(const std::vector<std::string>& args) {
    reset_settings();
    std::vector<std::string> words = {tree.path()};
    words.insert(words.end(), args.begin(), args.end());
    parse_args(words);
    complete_settings();
    settings.output_target = 1;  // progress shows on the message stream
    run = RunState{};
    run.progress_on_terminal = show_progress;
    run.counting_pass = 0;
    run.record_width = 80;
    run.volume_kind = os().volume_kind(tree.path());
    counters = RunCounters{};
    records_on_disk = 1;
    platform.keys.assign(2000, 13);  // Return for every pause and every poll
    platform.key_reads = 0;
    platform.opens = 0;
    platform.polls = 0;
    platform.most_ahead = 0;
  }

  // The main pass with `jobs` workers (1: one file at a time) and a window of `window` items.
  void walk(int jobs, std::size_t window, ReadAhead ahead = ReadAhead::kWhenTheDiskWaits) {
    if (jobs == 1) {
      OneAtATime writers;
      walk_directory(tree.path() + kSeparator, writers);
      return;
    }
    WorkPool workers(jobs);
    OrderedRecordWriters writers(workers, window, ahead);
    walk_directory(tree.path() + kSeparator, writers);
    writers.finish();
  }

  Catalogue catalogue(const std::vector<std::string>& args, int jobs, std::size_t window,
                      ReadAhead ahead = ReadAhead::kWhenTheDiskWaits) {
    start(args);
    CapturedStreams streams;
    walk(jobs, window, ahead);
    return {streams.output(), streams.messages(), counters, platform.key_reads};
  }

  TreePlatform platform;
  bool show_progress = true;
  TempDir tree{kSharedWithDeathTests};
};

}  // namespace

TEST_F(OrderedRecordsTest, WorkersWriteTheSameRecordsMessagesProgressAndCountsAsOneThread) {
  const std::vector<std::vector<std::string>> option_sets = {
      {"-r"},
      {"-r", "-S", "-m"},
      {"-r", "-B", "-c", "-256", "-R"},
      {"-r", "-f", "*.txt", "f1*", "-m"},
      {"-r", "-P"},
  };
  struct Workers {
    int jobs;
    std::size_t window;
    int threads_allowed;  // by the system; -1: as many as asked for
    ReadAhead ahead = ReadAhead::kWhenTheDiskWaits;
    // Slow opens have the workers turn to reading ahead, and reads from memory turn them
    // back, over and over.
    bool slow_disk = false;
  };
  const ReadAhead at_once = ReadAhead::kFromTheStart;
  for (const auto& args : option_sets) {
    const Catalogue one = catalogue(args, 1, 0);
    ASSERT_NE(one.output, "") << args.back();
    for (Workers w : {Workers{2, 1, -1}, Workers{4, 3, -1}, Workers{3, 64, -1}, Workers{9, 8, 2},
                      Workers{2, 1, -1, at_once}, Workers{3, 64, -1, at_once},
                      Workers{4, 32, -1, ReadAhead::kWhenTheDiskWaits, true}}) {
      platform.threads_allowed = w.threads_allowed;
      platform.threads_started = 0;
      platform.slow_disk = w.slow_disk;
      const Catalogue many = catalogue(args, w.jobs, w.window, w.ahead);
      platform.slow_disk = false;
      const std::string what = args.back() + " jobs " + std::to_string(w.jobs) +
                               (w.ahead == at_once ? " read ahead" : "") +
                               (w.slow_disk ? " slow disk" : "");
      EXPECT_EQ(platform.threads_started, w.threads_allowed < 0 ? w.jobs : w.threads_allowed);
      EXPECT_EQ(many.output, one.output) << what;
      EXPECT_EQ(many.messages, one.messages) << what;
      EXPECT_EQ(many.counters.file_count, one.counters.file_count) << what;
      EXPECT_EQ(many.counters.byte_total, one.counters.byte_total) << what;
      EXPECT_EQ(many.counters.directory_count, one.counters.directory_count) << what;
      EXPECT_EQ(many.counters.unreadable_count, one.counters.unreadable_count) << what;
      EXPECT_EQ(many.counters.stream_count, one.counters.stream_count) << what;
      EXPECT_EQ(many.key_reads, one.key_reads) << what;
    }
  }
  // A large file among them is read alone and shared out, and the files taken with it go to
  // others meanwhile. How far its reading had come whenever the records looked is a matter of
  // timing, so no progress is shown here.
  tree.write("d0/f1z.txt", std::string(kLongReadSize + 5, 'z'));
  show_progress = false;
  platform.threads_allowed = -1;
  for (const auto& args : option_sets) {
    const Catalogue one = catalogue(args, 1, 0);
    for (Workers w : {Workers{2, 1, -1}, Workers{3, 64, -1}, Workers{3, 64, -1, at_once}}) {
      const Catalogue many = catalogue(args, w.jobs, w.window, w.ahead);
      const std::string what = args.back() + " large file, jobs " + std::to_string(w.jobs);
      EXPECT_EQ(many.output, one.output) << what;
      EXPECT_EQ(many.messages, one.messages) << what;
      EXPECT_EQ(many.counters.byte_total, one.counters.byte_total) << what;
    }
  }
  show_progress = true;
  // What the comparisons rest on: the refused file and directory are said, in their place.
  const Catalogue one = catalogue({"-r"}, 1, 0);
  EXPECT_NE(one.messages.find("Can't open file for reading, digest not computed: "),
            std::string::npos);
  EXPECT_NE(
      one.messages.find("Can't read directory " + tree.path() + kSeparator + "locked" + kSeparator),
      std::string::npos);
  EXPECT_EQ(one.counters.unreadable_count, 4);  // the refused file thrice, the directory once
}

TEST_F(OrderedRecordsTest, TheWalkRunsAheadOfTheRecordsByNoMoreThanTheWindow) {
  for (std::size_t window : {std::size_t{1}, std::size_t{4}, std::size_t{16}}) {
    catalogue({"-r", "-R"}, 3, window);
    EXPECT_GT(platform.polls, 70);
    EXPECT_LE(platform.most_ahead, static_cast<int>(window)) << window;
  }
  catalogue({"-r", "-R"}, 1, 0);
  EXPECT_LE(platform.most_ahead, 0);
}

TEST_F(OrderedRecordsTest, AnInterruptEndsTheRunWithEveryRecordBeforeItWholeAndNoneAfterIt) {
  // Forked with no thread of its own running: the workers start in the child.
  const Catalogue whole = catalogue({"-r"}, 1, 0);
  TempDir place{kSharedWithDeathTests};
  const std::string list = place.at("list.txt");
  platform.interrupt_at = "f13.dat";
  for (ReadAhead ahead : {ReadAhead::kWhenTheDiskWaits, ReadAhead::kFromTheStart}) {
    auto interrupted_run = [&] {
      start({"-r"});
      use_output_file(native_platform().open_output(list, OutputMode::kCreate, nullptr), list);
      message_stream = stderr;
      walk(4, 8, ahead);
      terminate_run(kNormalExit);  // not reached: the interrupt ends the run first
    };
    EXPECT_EXIT(interrupted_run(), testing::ExitedWithCode(2), "Reason: INPUT_FILE");

    const std::string text = as_read(read_file(list));
    const std::size_t summary = text.rfind("\n  ");
    ASSERT_NE(summary, std::string::npos) << text;
    const std::size_t records_end = text.compare(0, 3, "\n  ") == 0 ? 0 : text.find("\n\n  ") + 1;
    const std::string records = text.substr(0, records_end);
    // A whole-record prefix of the full catalogue, ending before the interrupted file.
    const std::string all = as_read(whole.output);
    EXPECT_EQ(all.compare(0, records.size(), records), 0) << records;
    EXPECT_LT(records.size(), all.size());
    EXPECT_EQ(records.find("f13.dat"), std::string::npos);
    std::smatch counted;
    ASSERT_TRUE(std::regex_search(text, counted, std::regex("director(y|ies), ([0-9]+) files")));
    EXPECT_EQ(std::stoi(counted[2]), static_cast<int>(lines_of(records).size()));
  }
}

// The tree changes under the run: at the first pause one file shrinks below the -G limit and
// another grows past it. Each record is of its file as it was read, its size, digest and
// filter all of one moment: a file rewritten before it is reached is catalogued as it is
// after, one read ahead of the pause as it was before, never one with the other's facts.
TEST_F(OrderedRecordsTest, AFileRewrittenUnderTheRunIsCataloguedAsItWasRead) {
  TempDir place;
  const std::string shrinking(500, 'T');
  const std::string growing(500, 'L');
  auto md5_of = [&](const std::string& content) {
    place.write("copy", content);
    DigestRequest md5;
    md5.md5 = true;
    return digest_path(place.at("copy"), md5).texts.md5;
  };
  struct Workers {
    int jobs;
    std::size_t window;
    bool ahead_of_both;  // the window cannot reach the two files before the first pause
  };
  for (Workers w : {Workers{1, 0, true}, Workers{2, 4, true}, Workers{3, 64, false}}) {
    tree.write("top.txt", shrinking);
    tree.write("late.txt", "3 b");
    bool rewritten = false;
    platform.polls_see_keys = false;
    platform.on_key = [&] {
      if (rewritten) return;
      tree.write("top.txt", "top");
      tree.write("late.txt", growing);
      rewritten = true;
    };
    const Catalogue run = catalogue({"-r", "-P", "-m", "-G", "100"}, w.jobs, w.window);
    const std::string what = "jobs " + std::to_string(w.jobs);
    EXPECT_TRUE(rewritten) << what;
    std::map<std::string, int> present;
    for (const std::string& line : lines_of(run.output)) {
      std::istringstream fields(line);
      std::string name, md5;
      long long size = 0;
      if (!(fields >> name >> md5 >> size)) continue;
      EXPECT_GE(size, 100) << what << ": " << line;
      for (const auto& [file, content] :
           {std::pair{"top.txt", &shrinking}, {"late.txt", &growing}}) {
        if (name.find(file) == std::string::npos) continue;
        present[file] += 1;
        EXPECT_EQ(size, 500) << what << ": " << line;
        EXPECT_EQ(md5, md5_of(*content)) << what << ": " << line;
      }
    }
    if (w.ahead_of_both) {
      EXPECT_EQ(present, (std::map<std::string, int>{{"late.txt", 1}})) << what << run.output;
    }
  }
}
