#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/win32/win32_platform.h"
#include "temp_tree.h"

namespace {

void write_text(Platform& platform, OutputHandle output, const std::string& text) {
  WriteResult result = platform.write_output(output, text.data(), text.size());
  EXPECT_EQ(result.status, WriteResult::kDone);
  EXPECT_EQ(result.written, text.size());
}

}  // namespace

TEST(Win32Output, CreateEmptiesAndReplaceStartsAgain) {
  TempTree tree;
  ASSERT_TRUE(tree.write("out.txt", "old content that is long"));
  Win32Platform platform;
  std::string error;
  for (OutputMode mode : {OutputMode::kCreate, OutputMode::kReplace}) {
    OutputHandle output = platform.open_output(tree.at("out.txt"), mode, &error);
    ASSERT_NE(output, nullptr) << error;
    EXPECT_EQ(platform.output_size(output), 0);
    write_text(platform, output, "first\r\nsecond\r\n");
    EXPECT_EQ(platform.output_size(output), 15);
    ASSERT_TRUE(platform.cut_output(output, 7));
    write_text(platform, output, "2nd\r\n");  // continues where the cut left the file
    EXPECT_TRUE(platform.close_output(output));
    EXPECT_EQ(tree.read("out.txt"), "first\r\n2nd\r\n");
  }
  EXPECT_EQ(platform.open_output(tree.at("no such dir\\out.txt"), OutputMode::kCreate, &error),
            nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(Win32Output, AppendingWritersEachLandAtTheEnd) {
  TempTree tree;
  ASSERT_TRUE(tree.write("log.txt", "kept\r\n"));
  Win32Platform platform;
  std::string error;
  OutputHandle one = platform.open_output(tree.at("log.txt"), OutputMode::kAppend, &error);
  ASSERT_NE(one, nullptr) << error;
  OutputHandle two = platform.open_output(tree.at("log.txt"), OutputMode::kAppend, &error);
  ASSERT_NE(two, nullptr) << error;
  write_text(platform, one, "one a\r\n");
  write_text(platform, two, "two a\r\n");
  write_text(platform, one, "one b\r\n");
  EXPECT_EQ(platform.output_size(two), 27);
  // Cutting an appending file back takes the last piece away; the next write follows it.
  ASSERT_TRUE(platform.cut_output(one, 20));
  write_text(platform, two, "two b\r\n");
  EXPECT_TRUE(platform.close_output(one));
  EXPECT_TRUE(platform.close_output(two));
  EXPECT_EQ(tree.read("log.txt"), "kept\r\none a\r\ntwo a\r\ntwo b\r\n");
  OutputHandle fresh = platform.open_output(tree.at("new.txt"), OutputMode::kAppend, &error);
  ASSERT_NE(fresh, nullptr) << error;
  write_text(platform, fresh, "created\r\n");
  EXPECT_TRUE(platform.close_output(fresh));
  EXPECT_EQ(tree.read("new.txt"), "created\r\n");
}

TEST(Win32Output, AReaderThatLeftIsABrokenPipeAndAPipeHasNoSize) {
  const std::wstring name = L"\\\\.\\pipe\\tallysum-test-" + std::to_wstring(GetCurrentProcessId());
  HANDLE reader = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096,
                                   0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  Win32Platform platform;
  std::string error;
  OutputHandle output = platform.open_output(win32::to_utf8(name), OutputMode::kAppend, &error);
  ASSERT_NE(output, nullptr) << error;
  ConnectNamedPipe(reader, nullptr);  // the writer is there already: returns at once
  EXPECT_EQ(platform.output_size(output), -1);
  write_text(platform, output, "read by nobody yet");
  CloseHandle(reader);
  WriteResult result = platform.write_output(output, "gone", 4);
  EXPECT_EQ(result.status, WriteResult::kBrokenPipe);
  EXPECT_EQ(result.written, 0u);
  EXPECT_TRUE(platform.close_output(output));
  for (OutputMode mode : {OutputMode::kAppend, OutputMode::kCreate}) {
    output = platform.open_output("NUL", mode, &error);
    ASSERT_NE(output, nullptr) << error;
    write_text(platform, output, "into nothing");
    EXPECT_TRUE(platform.close_output(output));
  }
}

TEST(Win32Output, WriteErrorsByKind) {
  EXPECT_EQ(win32::write_status(ERROR_DISK_FULL), WriteResult::kFull);
  EXPECT_EQ(win32::write_status(ERROR_HANDLE_DISK_FULL), WriteResult::kFull);
  EXPECT_EQ(win32::write_status(ERROR_BROKEN_PIPE), WriteResult::kBrokenPipe);
  EXPECT_EQ(win32::write_status(ERROR_NO_DATA), WriteResult::kBrokenPipe);
  EXPECT_EQ(win32::write_status(ERROR_ACCESS_DENIED), WriteResult::kFailed);
  EXPECT_EQ(win32::write_status(ERROR_INVALID_HANDLE), WriteResult::kFailed);
}

TEST(Win32Output, StandardOutputIsNeverClosed) {
  Win32Platform platform;
  OutputHandle output = platform.standard_output();
  EXPECT_EQ(output, platform.standard_output());
  EXPECT_TRUE(platform.close_output(output));
  EXPECT_EQ(output, platform.standard_output());
}

TEST(Win32Disks, TruncateFreeSpaceAndDriveKind) {
  TempTree tree;
  ASSERT_TRUE(tree.write("cut.bin", "0123456789"));
  Win32Platform platform;
  EXPECT_TRUE(platform.truncate_file(tree.at("cut.bin"), 4));
  EXPECT_EQ(tree.read("cut.bin"), "0123");
  EXPECT_FALSE(platform.truncate_file(tree.at("missing.bin"), 0));
  std::uint64_t free_bytes = 0;
  ASSERT_TRUE(platform.disk_free_bytes(tree.at("cut.bin"), &free_bytes));
  EXPECT_GT(free_bytes, 0u);
  EXPECT_FALSE(platform.is_removable_drive(tree.path()));
  int kind = platform.volume_kind(tree.path());
  EXPECT_TRUE(kind == 1 || kind == 2 || kind == 4) << kind;
}

TEST(Win32Disks, AFileOnARemovableDriveIsFoundSo) {
  // The drive comes from the environment: a floppy or card reader that holds a writable disk.
  const char* drive = std::getenv("TALLYSUM_TEST_REMOVABLE");
  if (drive == nullptr || *drive == '\0') {
    GTEST_SKIP() << "TALLYSUM_TEST_REMOVABLE names no removable drive";
  }
  Win32Platform platform;
  std::string path = std::string(drive) + "tallysum-removable-test.txt";
  std::string error;
  OutputHandle output = platform.open_output(path, OutputMode::kReplace, &error);
  ASSERT_NE(output, nullptr) << error;
  write_text(platform, output, "on the disk\r\n");
  EXPECT_TRUE(platform.close_output(output));
  EXPECT_TRUE(platform.is_removable_drive(path));
  EXPECT_TRUE(platform.is_removable_drive(drive));
  std::uint64_t free_bytes = 0;
  EXPECT_TRUE(platform.disk_free_bytes(path, &free_bytes));
  DeleteFileW(win32::system_path(path).c_str());
}

TEST(Win32LogLock, OneHolderAtATimeWhileItsOwnWritesGoThrough) {
  TempTree tree;
  Win32Platform first;
  Win32Platform second;
  ASSERT_TRUE(first.acquire_log_lock(tree.at("acct.log"), nullptr));
  EXPECT_TRUE(first.acquire_log_lock(tree.at("acct.log"), nullptr));  // held already: no conflict
  EXPECT_FALSE(second.acquire_log_lock(tree.at("acct.log"), nullptr));
  // The holder still reads and writes the log through a handle of its own.
  std::string error;
  OutputHandle log = first.open_output(tree.at("acct.log"), OutputMode::kAppend, &error);
  ASSERT_NE(log, nullptr) << error;
  write_text(first, log, "entry\r\n");
  EXPECT_TRUE(first.close_output(log));
  EXPECT_EQ(tree.read("acct.log"), "entry\r\n");
  first.release_log_lock();
  EXPECT_TRUE(second.acquire_log_lock(tree.at("acct.log"), nullptr));
  second.release_log_lock();
}
