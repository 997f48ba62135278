// Whatever a configuration file holds, reading it must neither crash nor leave settings the
// rest of the program cannot use. Seeded, so a failure can be replayed; bounded by a deadline
// and an iteration count, so it stays short also under the sanitizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "config/ini_file.h"
#include "config/ini_line.h"
#include "output/accounting_log.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

const char* const kKeys[] = {
    "ALL_HT", "ALL_TIMES", "ALLTIMES",  "APPEND",     "AUTO",    "STREAM", "CRC",      "SHA",
    "HASH",   "DISPLACE",  "DELIMETER", "DELIMITER",  "EXCLUDE", "FILE",   "PATHONLY", "PATH",
    "FDI",    "NO_COUNT",  "IMMEDIATE", "NAMEONLY",   "WIDTH",   "8.3",    "GREATER",  "LESSTHAN",
    "OLDER",  "YOUNGER",   "NEWER",     "MILITARY",   "OUTPUT",  "PAUSE",  "RECURSE",  "RESET",
    "SILENT", "TIME",      "ZULU",      "[TALLYSUM]", "[OTHER]", ";",
};

const char* const kValues[] = {
    "",
    " ",
    "ON",
    "OFF",
    "YES",
    "on off",
    "0",
    "-0",
    "99999999999999999999",
    "-2147483649",
    "+",
    "-",
    "\t",
    "=",
    "==ON",
    "/x/y",
    "a b  ",
    "*.*",
    "\xff\xfe",
    "3",
};

class Fuzz {
 public:
  explicit Fuzz(unsigned seed) : random_(seed) {}

  std::string line() {
    switch (pick(6)) {
      case 0:
        return random_bytes(pick(300));
      case 1:
        return random_bytes(10000 + pick(100000));
      case 2:
        return std::string(kKeys[pick(std::size(kKeys))]) + random_bytes(pick(40));
      case 3:
        return key() + "=" + value();
      case 4:
        return key() + "=" + random_bytes(pick(600));
      default:
        return accounting_line();
    }
  }

  std::string file() {
    std::string text;
    int lines = pick(30);
    for (int i = 0; i < lines; ++i) text += line() + (pick(4) == 0 ? "\r\n" : "\n");
    if (pick(2) == 0) text += line();  // a last line without its end
    return text;
  }

  int pick(std::size_t bound) {
    return static_cast<int>(std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_));
  }

 private:
  std::string key() {
    std::string key = kKeys[pick(std::size(kKeys))];
    if (pick(3) == 0) {
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return std::string(pick(3), ' ') + key + std::string(pick(2), ' ');
  }
  std::string value() { return kValues[pick(std::size(kValues))]; }

  // Random bytes never name the accounting keys: those open files, which accounting_line does
  // with names that stay inside the test's directory.
  std::string random_bytes(std::size_t length) {
    std::string text(length, '\0');
    for (char& c : text) c = static_cast<char>(pick(256));
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (std::size_t at = upper.find("ACCT"); at != std::string::npos; at = upper.find("ACCT")) {
      upper[at] = text[at] = '#';
    }
    return text;
  }
  std::string accounting_line() {
    const char* const values[] = {"OFF", "log-a", "log-b  ", "", " off", "Log-C"};
    return std::string(pick(2) ? "ACCT" : "accting") + "=" + values[pick(std::size(values))];
  }

  std::mt19937 random_;
};

void expect_usable_settings() {
  EXPECT_NE(settings.delimiter, '\0');
  EXPECT_NE(settings.time_kind, 0);
  if (settings.output_target == 1) {
    EXPECT_FALSE(settings.output_path.empty());
  }
  for (const auto* list :
       {&settings.search_paths, &settings.file_patterns, &settings.exclude_patterns}) {
    for (const std::string& entry : *list) {
      EXPECT_FALSE(entry.empty());
      EXPECT_EQ(entry.find('\n'), std::string::npos);
      EXPECT_EQ(entry.find('\0'), std::string::npos);
    }
  }
}

TEST(IniFuzz, NothingInAConfigurationFileCrashesTheReader) {
  ScriptedPlatform platform;
  TempDir dir;
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  platform.current = dir.path();
  run = RunState{};
  run.module_path = dir.at("tallysum");
  std::string program = run.module_path;
  char* argv[] = {program.data(), nullptr};

  Fuzz fuzz(20261208);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  int rounds = 0;
  while (rounds < 2000 && std::chrono::steady_clock::now() < deadline) {
    ++rounds;
    create_settings();
    apply_environment();
    apply_defaults();
    bool shared = fuzz.pick(3) == 0;
    std::remove(dir.at(shared ? "tallysum.ini" : "KELDRAIN.INI").c_str());
    std::string text = fuzz.file();
    dir.write(shared ? "KELDRAIN.INI" : "tallysum.ini",
              shared && fuzz.pick(2) ? "[TALLYSUM]\n" + text : text);
    read_configuration_file(1, argv);
    for (int i = 0; i < 5; ++i) {
      std::string line = fuzz.line();
      std::replace(line.begin(), line.end(), '\n', ' ');  // the reader never passes a line end
      apply_configuration_line(line);
    }
    expect_usable_settings();
    close_accounting_log();
    if (HasFailure()) break;
  }
  std::filesystem::current_path(here);
  EXPECT_GT(rounds, 0);
}

}  // namespace
