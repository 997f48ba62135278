// Runs the built program as a user would on Windows: its own console-less process with pipes
// for the three standard streams and an environment block of its own.
#include <windows.h>

#include <string>
#include <thread>

#include "platform/win32/system_win32.h"
#include "support/run_program.h"

namespace {

// Wine and the system need these to start a program at all; nothing of the program's own.
constexpr const wchar_t* kSystemVariables[] = {L"SystemRoot", L"windir",      L"TEMP",
                                               L"TMP",        L"SystemDrive", L"ComSpec"};

std::wstring system_variable(const wchar_t* name) {
  wchar_t value[32768];
  DWORD length = GetEnvironmentVariableW(name, value, 32768);
  return length > 0 && length < 32768 ? std::wstring(name) + L"=" + value : L"";
}

// The block CreateProcessW takes: NAME=value entries, each ended by a NUL, then one more NUL.
std::wstring environment_block(const ProgramRun& how) {
  std::wstring block;
  // The test's own entries come first: a lookup takes the first, so TZ=... overrides.
  for (const std::string& entry : how.environment) block += win32::to_wide(entry) + L'\0';
  block += L"TZ=UTC0";
  block += L'\0';
  std::wstring path = system_variable(L"PATH");
  if (!path.empty()) block += path + L'\0';
  for (const wchar_t* name : kSystemVariables) {
    std::wstring entry = system_variable(name);
    if (!entry.empty()) block += entry + L'\0';
  }
  block += L'\0';
  return block;
}

// One word of a command line, quoted so that the program's start-up reads it back unchanged.
std::wstring quoted(const std::wstring& word) {
  if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos) return word;
  std::wstring text = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : word) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    text.push_back(c);
  }
  text.append(backslashes * 2, L'\\');
  return text + L"\"";
}

// The program beside the test binary: both land in the build's top directory.
std::wstring program_path() {
  wchar_t own[32768];
  DWORD length = GetModuleFileNameW(nullptr, own, 32768);
  std::wstring path(own, length);
  return path.substr(0, path.find_last_of(L'\\') + 1) + win32::to_wide(TALLYSUM_BINARY_NAME);
}

void read_all(HANDLE from, std::string* into) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) into->append(buffer, got);
}

// Text as the tests compare it: each CR LF the system's line end, read as "\n".
std::string with_plain_line_ends(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    plain.push_back(text[i]);
  }
  return plain;
}

struct Pipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
};

// The child's end is inherited, the test's end is not.
bool make_pipe(Pipe* pipe, bool child_reads) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  if (!CreatePipe(&pipe->read, &pipe->write, &inherit, 0)) return false;
  return SetHandleInformation(child_reads ? pipe->write : pipe->read, HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

ProgramResult run_tallysum(const ProgramRun& how) {
  Pipe in, out, err;
  if (!make_pipe(&in, true) || !make_pipe(&out, false) || !make_pipe(&err, false)) return {};
  std::wstring program = program_path();
  std::wstring command = quoted(program);
  for (const std::string& arg : how.args) command += L" " + quoted(win32::to_wide(arg));
  std::wstring environment = environment_block(how);
  std::wstring directory = win32::to_wide(how.directory);

  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = in.read;
  start.hStdOutput = out.write;
  start.hStdError = err.write;
  PROCESS_INFORMATION process{};
  // Wine under load now and then fails to start a process at all: that is no run of the
  // program, so it is asked again, and a start that never comes says why.
  bool started = false;
  DWORD start_error = 0;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) Sleep(200);
    std::wstring line = command;  // the call may write into its command line
    started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                             CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(),
                             directory.empty() ? nullptr : directory.c_str(), &start, &process);
    if (!started) start_error = GetLastError();
  }
  CloseHandle(in.read);
  CloseHandle(out.write);
  CloseHandle(err.write);
  ProgramResult result;
  if (started) {
    std::thread out_reader(read_all, out.read, &result.out);
    std::thread err_reader(read_all, err.read, &result.err);
    DWORD written = 0;
    if (!how.input.empty()) {
      WriteFile(in.write, how.input.data(), static_cast<DWORD>(how.input.size()), &written,
                nullptr);
    }
    CloseHandle(in.write);
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(how.timeout_seconds) * 1000) !=
        WAIT_OBJECT_0) {
      TerminateProcess(process.hProcess, 255);
      WaitForSingleObject(process.hProcess, INFINITE);
    } else {
      DWORD status = 0;
      GetExitCodeProcess(process.hProcess, &status);
      result.status = static_cast<int>(status);
    }
    out_reader.join();
    err_reader.join();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    CloseHandle(in.write);
    result.err = "the program did not start (error " + std::to_string(start_error) + ")";
  }
  CloseHandle(out.read);
  CloseHandle(err.read);
  result.out = with_plain_line_ends(result.out);
  result.err = with_plain_line_ends(result.err);
  return result;
}
