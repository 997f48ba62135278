#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <thread>

#include "platform/child_process.h"
#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

namespace {

// Writes `text` in one piece and closes the file; the status of the write.
WriteResult::Status write_piece(Platform& platform, const std::string& path, OutputMode mode,
                                const std::string& text) {
  OutputHandle output = platform.open_output(path, mode, nullptr);
  if (output == nullptr) return WriteResult::kFailed;
  WriteResult result = platform.write_output(output, text.data(), text.size());
  EXPECT_TRUE(platform.close_output(output));
  return result.status;
}

}  // namespace

TEST(OutputFiles, CreateAndReplaceEmptyTheFileAppendKeepsIt) {
  TempDir dir;
  std::string path = dir.at("out.txt");
  PosixPlatform platform;
  struct Step {
    OutputMode mode;
    const char* text;
    const char* content;  // the file afterwards
  } steps[] = {
      {OutputMode::kAppend, "one\n", "one\n"},  // created when missing
      {OutputMode::kAppend, "two\n", "one\ntwo\n"},     {OutputMode::kCreate, "three\n", "three\n"},
      {OutputMode::kAppend, "four\n", "three\nfour\n"}, {OutputMode::kReplace, "five\n", "five\n"},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(write_piece(platform, path, step.mode, step.text), WriteResult::kDone) << step.text;
    EXPECT_EQ(read_file(path), step.content) << step.text;
  }
  std::string error;
  EXPECT_EQ(platform.open_output(dir.at("no/such/dir/out.txt"), OutputMode::kCreate, &error),
            nullptr);
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_EQ(platform.open_output(dir.path(), OutputMode::kAppend, &error), nullptr);
  EXPECT_EQ(error, "Is a directory");
}

TEST(OutputFiles, SizeAndCutBackToARecordBoundary) {
  TempDir dir;
  PosixPlatform platform;
  OutputHandle output = platform.open_output(dir.at("out"), OutputMode::kAppend, nullptr);
  ASSERT_NE(output, nullptr);
  std::string record = "a whole record\n";
  WriteResult result = platform.write_output(output, record.data(), record.size());
  EXPECT_EQ(result.status, WriteResult::kDone);
  EXPECT_EQ(result.written, record.size());
  result = platform.write_output(output, "half a rec", 10);
  EXPECT_EQ(result.written, 10u);
  EXPECT_EQ(platform.output_size(output), 25);
  ASSERT_TRUE(platform.cut_output(output, record.size()));
  EXPECT_EQ(platform.output_size(output), 15);
  // Appending goes on at the new end, not where the cut-off piece ended.
  EXPECT_EQ(platform.write_output(output, "next\n", 5).status, WriteResult::kDone);
  EXPECT_TRUE(platform.close_output(output));
  EXPECT_EQ(read_file(dir.at("out")), record + "next\n");
  EXPECT_FALSE(platform.close_output(nullptr));
  EXPECT_EQ(platform.write_output(nullptr, "x", 1).status, WriteResult::kFailed);
}

TEST(OutputFiles, AFullDiskIsToldApartFromOtherFailures) {
  PosixPlatform platform;
  OutputHandle full = platform.open_output("/dev/full", OutputMode::kAppend, nullptr);
  ASSERT_NE(full, nullptr);
  WriteResult result = platform.write_output(full, "record\n", 7);
  EXPECT_EQ(result.status, WriteResult::kFull);
  EXPECT_EQ(result.written, 0u);
  EXPECT_EQ(platform.output_size(full), -1);  // not a file: nothing to cut back
  EXPECT_TRUE(platform.close_output(full));
  OutputHandle null = platform.open_output("/dev/null", OutputMode::kCreate, nullptr);
  ASSERT_NE(null, nullptr);
  EXPECT_EQ(platform.write_output(null, "gone\n", 5).status, WriteResult::kDone);
  EXPECT_TRUE(platform.close_output(null));
}

TEST(OutputFiles, StandardOutputToAPipeShortFullAndBrokenWrites) {
  int status = run_in_child([] {
    int ends[2];
    if (pipe(ends) != 0) return 9;
    dup2(ends[1], STDOUT_FILENO);
    close(ends[1]);
    fcntl(STDOUT_FILENO, F_SETFL, O_NONBLOCK);
    PosixPlatform platform;
    platform.install_interrupt_handler();
    OutputHandle out = platform.standard_output();
    if (out != platform.standard_output() || platform.output_size(out) != -1) return 1;
    // More than the pipe holds: one write takes what fits and says so.
    std::string big(1 << 20, 'x');
    WriteResult result = platform.write_output(out, big.data(), big.size());
    if (result.status != WriteResult::kShort || result.written == 0) return 2;
    if (result.written >= big.size()) return 3;
    // The pipe is full: the next piece waits for room instead of failing.
    std::thread reader([&] {
      usleep(100000);
      char page[4096];
      if (read(ends[0], page, sizeof page) <= 0) _exit(8);
    });
    result = platform.write_output(out, "y", 1);
    reader.join();
    if (result.status != WriteResult::kDone || result.written != 1) return 4;
    close(ends[0]);
    result = platform.write_output(out, "z", 1);
    if (result.status != WriteResult::kBrokenPipe) return 5;
    // Standard output is never closed here.
    if (!platform.close_output(out) || fcntl(STDOUT_FILENO, F_GETFD) == -1) return 6;
    return 0;
  });
  EXPECT_EQ(status, 0);
}

TEST(OutputFiles, AppendingRunsInterleaveOnlyBetweenRecords) {
  TempDir dir;
  std::string path = dir.at("shared.log");
  constexpr int kRecords = 400;
  auto writer = [&](char letter, std::size_t length) {
    return [&path, letter, length] {
      PosixPlatform platform;
      OutputHandle output = platform.open_output(path, OutputMode::kAppend, nullptr);
      std::string record = std::string(length, letter) + "\n";
      for (int i = 0; i < kRecords; ++i) {
        if (platform.write_output(output, record.data(), record.size()).status !=
            WriteResult::kDone) {
          return 1;
        }
      }
      return platform.close_output(output) ? 0 : 2;
    };
  };
  pid_t first = fork();
  if (first == 0) _exit(writer('a', 3000)());
  int second = run_in_child(writer('b', 5000));
  int status = 0;
  ASSERT_EQ(waitpid(first, &status, 0), first);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(second, 0);
  std::vector<std::string> lines = lines_of(read_file(path));
  ASSERT_EQ(lines.size(), 2u * kRecords);
  for (const std::string& line : lines) {
    bool whole = line == std::string(3000, 'a') || line == std::string(5000, 'b');
    ASSERT_TRUE(whole) << "a record was split: " << line.substr(0, 20) << "...";
  }
}

TEST(StandardStreams, ClosedDescriptorsAreFilledAndStayUnwritable) {
  struct Case {
    std::vector<int> closed;
  } cases[] = {{{}}, {{1}}, {{0, 2}}, {{0, 1, 2}}};
  for (const Case& c : cases) {
    int status = run_in_child([&] {
      for (int fd : c.closed) close(fd);
      PosixPlatform platform;
      StandardStreams found = platform.secure_standard_streams();
      auto was_closed = [&](int fd) {
        return std::find(c.closed.begin(), c.closed.end(), fd) != c.closed.end();
      };
      if (found.input_closed != was_closed(0) || found.output_closed != was_closed(1) ||
          found.error_closed != was_closed(2)) {
        return 1;
      }
      // A file the run opens now cannot take the place of a standard descriptor.
      int next = open("/dev/zero", O_RDONLY);
      if (next <= 2) return 2;
      if (was_closed(1)) {
        WriteResult result = platform.write_output(platform.standard_output(), "x", 1);
        if (result.status != WriteResult::kFailed || errno != EBADF) return 3;
      }
      return platform.secure_standard_streams().output_closed ? 4 : 0;
    });
    EXPECT_EQ(status, 0) << c.closed.size();
  }
}

TEST(StandardStreams, ArgumentsAreTheCommandLineWords) {
  char program[] = "tallysum";
  char option[] = "-f";
  char word[] = "\xc3\xa9t\xc3\xa9 x";
  char* argv[] = {program, option, word, nullptr};
  PosixPlatform platform;
  EXPECT_EQ(platform.arguments(3, argv),
            (std::vector<std::string>{"tallysum", "-f", "\xc3\xa9t\xc3\xa9 x"}));
  EXPECT_TRUE(platform.arguments(0, argv).empty());
  EXPECT_STREQ(kOptionPrefixes, "-+");
  EXPECT_STREQ(kLineEnd, "\n");
}
