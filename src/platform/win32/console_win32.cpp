// Keys from the console and the interrupt. Only GetConsoleMode tells a console from a
// redirected input: the C run-time's terminal test is also true for the NUL device.
#include <atomic>

#include "platform/win32/system_win32.h"

namespace {

std::atomic<bool> interrupted{false};
HANDLE interrupt_event = nullptr;  // set with the flag, so that a key wait ends at once
// The thread in a write that may wait on its reader, 0 when none is.
std::atomic<DWORD> waiting_writer{0};
std::atomic<bool> watchdog_started{false};

// A reader that is only slow still gets the records; one that stopped does not stop the run.
constexpr DWORD kInterruptGraceMs = 500;
constexpr DWORD kWatchIntervalMs = 50;

// Runs from the first interrupt to the end of the process: after the grace, every write that
// waits on its reader is cancelled, including those the ending itself begins.
DWORD WINAPI cancel_waiting_writes(void*) {
  Sleep(kInterruptGraceMs);
  for (;;) {
    const DWORD writer = waiting_writer.load();
    if (writer != 0) {
      HANDLE thread = OpenThread(THREAD_TERMINATE, FALSE, writer);
      if (thread != nullptr) {
        if (waiting_writer.load() == writer) CancelSynchronousIo(thread);
        CloseHandle(thread);
      }
    }
    Sleep(kWatchIntervalMs);
  }
}

void start_watchdog() {
  if (watchdog_started.exchange(true)) return;
  HANDLE thread = CreateThread(nullptr, 0, cancel_waiting_writes, nullptr, 0, nullptr);
  if (thread != nullptr) CloseHandle(thread);
}

BOOL WINAPI on_control(DWORD kind) {
  interrupted = true;
  if (interrupt_event != nullptr) SetEvent(interrupt_event);
  start_watchdog();
  if (kind == CTRL_CLOSE_EVENT || kind == CTRL_LOGOFF_EVENT || kind == CTRL_SHUTDOWN_EVENT) {
    // The system ends the process when this returns: wait instead, so the run can finish its
    // records and its log entry; the process ends from the main thread (or at the system's
    // own time limit).
    Sleep(INFINITE);
  }
  return TRUE;
}

HANDLE input_handle() {
  return GetStdHandle(STD_INPUT_HANDLE);
}

// A key press that gives a character; releases, mouse moves and bare shift keys do not count.
bool is_key(const INPUT_RECORD& record) {
  return record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
         record.Event.KeyEvent.uChar.UnicodeChar != 0;
}

int key_value(const INPUT_RECORD& record) {
  wchar_t key = record.Event.KeyEvent.uChar.UnicodeChar;
  // The program asks only for ASCII keys; anything else answers as a key it does not know.
  return key < 0x80 ? static_cast<int>(key) : '?';
}

int read_console_key(HANDLE input) {
  HANDLE waits[2] = {input, interrupt_event};
  DWORD count = interrupt_event != nullptr ? 2 : 1;
  while (true) {
    if (interrupted) return kKeyInterrupted;
    DWORD woke = WaitForMultipleObjects(count, waits, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0 + 1 || interrupted) return kKeyInterrupted;
    if (woke != WAIT_OBJECT_0) return kKeyEndOfInput;
    INPUT_RECORD record;
    DWORD read = 0;
    if (!ReadConsoleInputW(input, &record, 1, &read)) return kKeyEndOfInput;
    if (read == 1 && is_key(record)) return key_value(record);
  }
}

}  // namespace

namespace win32 {

void begin_waiting_write() {
  waiting_writer = GetCurrentThreadId();
}

void end_waiting_write() {
  waiting_writer = 0;
}

}  // namespace win32

bool Win32Platform::stdin_is_terminal() {
  static const bool terminal = [] {
    DWORD mode = 0;
    return GetConsoleMode(input_handle(), &mode) != 0;
  }();
  return terminal;
}

bool Win32Platform::stderr_is_terminal() {
  static const bool terminal = [] {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
  }();
  return terminal;
}

bool Win32Platform::key_waiting() {
  if (!stdin_is_terminal()) return false;
  HANDLE input = input_handle();
  INPUT_RECORD records[16];
  DWORD count = 0;
  while (PeekConsoleInputW(input, records, 16, &count) && count > 0) {
    for (DWORD i = 0; i < count; ++i) {
      if (is_key(records[i])) return true;
    }
    // Only events that are no key: drop them, or they would hide a key typed later.
    ReadConsoleInputW(input, records, count, &count);
  }
  return false;
}

int Win32Platform::read_key() {
  HANDLE input = input_handle();
  if (stdin_is_terminal()) return read_console_key(input);
  if (interrupted) return kKeyInterrupted;
  unsigned char byte = 0;
  DWORD read = 0;
  if (!ReadFile(input, &byte, 1, &read, nullptr) || read == 0) {
    return interrupted ? kKeyInterrupted : kKeyEndOfInput;
  }
  return interrupted ? kKeyInterrupted : byte;
}

void Win32Platform::install_interrupt_handler() {
  if (interrupt_event == nullptr) interrupt_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(on_control, TRUE);
}

bool Win32Platform::interrupt_pending() {
  return interrupted;
}
