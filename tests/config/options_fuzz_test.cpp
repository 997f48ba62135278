// Random argument vectors against the command-line parser: whatever is typed, it returns or
// ends the run with status 5 (or 1 for an accounting log it cannot open), and never crashes, hangs
// or trips a sanitizer. Each case runs in a death test's child because the parser may end the
// process. TALLYSUM_FUZZ_SEED picks the seed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "support/c_library.h"
#include "support/death_test.h"
#include "support/scripted_platform.h"

namespace {

constexpr int kReturned = 42;
constexpr int kHung = 43;

const char* const kTokens[] = {
    "-r",    "+r", "-w",   "0",     "-W30",        "+w",         "-D",    "100,200c",
    "-D5,",  "-d", "09",   "-d-",   "-x",          "*.c",        "-X",    "-f",
    "sub/x", "-p", "/tmp", "-o",    "stdout",      "-O",         "+o",    "-t",
    "-t3r",  "-T", "-g",   "-l",    "10-20-2005w", "12-31-2030", "1/2/3", "-G",
    "-L",    "-1", "+1",   "log",   "-C",          "-q-rh",      "-q+0",  "-.ini",
    "-?",    "-k", "-A3",  "-8830", "-256",        "-389",       "",      "-",
    "+",     "-@",
};
const char kAlphabet[] = "-+/.,:*?@\\0123456789aAcCwWoOtTxXdDgGlLqQrRsSnNpPfF1358 |\t\xE9";

std::vector<std::string> random_arguments(std::mt19937& rng) {
  std::vector<std::string> words;
  for (int n = rng() % 8; n > 0; --n) {
    if (rng() % 3 != 0) {
      words.push_back(kTokens[rng() % std::size(kTokens)]);
      continue;
    }
    std::string word;
    for (int length = rng() % 13; length > 0; --length) {
      word += kAlphabet[rng() % (sizeof kAlphabet - 1)];
    }
    words.push_back(word);
  }
  return words;
}

[[noreturn]] void parse_in_child(const std::vector<std::string>& words, const std::string& dir,
                                 unsigned seed) {
  // A hang becomes a status the test reports with its seed.
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::seconds(10));
    std::_Exit(kHung);
  }).detach();
  std::error_code error;
  std::filesystem::current_path(dir, error);
  if (error) std::_Exit(99);
  join_output_to_errors();
  reset_settings();
  ScriptedPlatform platform;
  std::mt19937 rng(seed);
  if (rng() % 2 == 0) platform.help_file = "/opt/tallysum/tallysum.1";
  for (int n = rng() % 12; n > 0; --n) platform.keys.push_back("ynx\r\x1b"[rng() % 5]);
  parse_args(words);
  std::fflush(nullptr);
  std::_Exit(kReturned);
}

// Status 1: a -1 log that can neither be opened nor created ends the run at once.
bool ended_cleanly(int status) {
  return testing::ExitedWithCode(kReturned)(status) || testing::ExitedWithCode(5)(status) ||
         testing::ExitedWithCode(1)(status);
}

TEST(OptionsFuzz, RandomArgumentsEndCleanly) {
  const char* seed_text = std::getenv("TALLYSUM_FUZZ_SEED");
  unsigned seed = seed_text != nullptr ? std::strtoul(seed_text, nullptr, 10) : 20061105u;
  std::mt19937 rng(seed);
  TempDir scratch{kSharedWithDeathTests};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int cases = 0;
  // At least 100 cases however slow the machine (sanitizers, a loaded CI host); more while
  // time allows.
  for (; cases < 3000 && (cases < 100 || std::chrono::steady_clock::now() < deadline); ++cases) {
    std::vector<std::string> words = random_arguments(rng);
    unsigned child_seed = rng();
    std::string shown;
    for (const std::string& word : words) shown += "'" + word + "' ";
    ASSERT_EXIT(parse_in_child(words, scratch.path(), child_seed), ended_cleanly, "")
        << "seed " << seed << " case " << cases << ": " << shown;
  }
}

}  // namespace
