// Random argument vectors against the command-line parser: whatever the user types, the parser
// either returns or ends the run with status 5; it never crashes, hangs or trips a sanitizer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "config/options.h"
#include "output/destinations.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace {

constexpr int kReturned = 42;
constexpr int kMaxCases = 3000;
constexpr auto kBudget = std::chrono::seconds(3);

const char* const kTokens[] = {
    "-r",    "+r",     "-rS",    "-w",        "0",          "-W30",  "+w",   "-D",
    "100,200c", "-D5,", "-d",    "09",        "-d-",        "-x",    "*.c",  "-X",
    "-f",    "sub/x",  "-p",     "/tmp",      "-o",         "stdout", "-O",  "+o",
    "-t",    "-t3r",   "-T",     "a",         "-g",         "-l",    "10-20-2005w",
    "12-31-2030", "1/2/3", "-G", "-L",        "-1",         "+1",    "log",  "-C",
    "-q-rh", "-q+0",   "-q",     "-.ini",     "-.INI",      "-?",    "-k",   "-A3",
    "-AU",   "-8830",  "-256",   "-389",      "-2",         "-512",  "",     "-",
    "+",     "--",     "-@",     "-9",        "-v",         "-Mi",   "-N",   "x",
};
const char kAlphabet[] = "-+/.,:*?@\\0123456789aAcCwWoOtTxXdDgGlLqQrRsSnNpPfF1358 |\t";

std::string random_word(std::mt19937& rng) {
  std::uniform_int_distribution<int> pick(0, 2);
  if (pick(rng) > 0) {
    std::uniform_int_distribution<std::size_t> token(0, std::size(kTokens) - 1);
    return kTokens[token(rng)];
  }
  std::uniform_int_distribution<int> length(0, 12);
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kAlphabet - 2);
  std::string word;
  for (int n = length(rng); n > 0; --n) word += kAlphabet[letter(rng)];
  // Bytes beyond ASCII, as a name in another code page would bring.
  if (std::uniform_int_distribution<int>(0, 3)(rng) == 0) word += static_cast<char>(0xE9);
  return word;
}

std::vector<std::string> random_arguments(std::mt19937& rng) {
  std::vector<std::string> words{"/nonexistent-tallysum-test/tallysum"};
  for (int n = std::uniform_int_distribution<int>(0, 7)(rng); n > 0; --n) {
    words.push_back(random_word(rng));
  }
  return words;
}

[[noreturn]] void parse_in_child(std::vector<std::string> words, const std::string& directory,
                                 unsigned seed) {
  alarm(10);  // a hang becomes a signal the parent reports
  if (chdir(directory.c_str()) != 0) _exit(99);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  dup2(null, STDERR_FILENO);
  message_stream = stderr;
  reset_settings();
  ScriptedPlatform platform;
  std::mt19937 rng(seed);
  if (rng() % 2 == 0) platform.help_file = "/opt/tallysum/tallysum.1";
  const int answers[] = {'y', 'n', '\r', 'x', 27};
  for (int n = rng() % 12; n > 0; --n) platform.keys.push_back(answers[rng() % 5]);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  parse_command_line(static_cast<int>(words.size()), argv.data());
  std::fflush(nullptr);
  _exit(kReturned);
}

std::string shown(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 1; i < words.size(); ++i) text += "'" + words[i] + "' ";
  return text;
}

TEST(OptionsFuzz, RandomArgumentsEndCleanly) {
  const char* seed_text = std::getenv("TALLYSUM_FUZZ_SEED");
  unsigned seed = seed_text != nullptr ? static_cast<unsigned>(std::atoi(seed_text)) : 20061105u;
  std::mt19937 rng(seed);
  TempDir scratch;
  auto start = std::chrono::steady_clock::now();
  int cases = 0;
  for (; cases < kMaxCases && std::chrono::steady_clock::now() - start < kBudget; ++cases) {
    std::vector<std::string> words = random_arguments(rng);
    unsigned child_seed = static_cast<unsigned>(rng());
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) parse_in_child(words, scratch.path(), child_seed);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    bool clean = WIFEXITED(status) &&
                 (WEXITSTATUS(status) == kReturned || WEXITSTATUS(status) == 5);
    ASSERT_TRUE(clean) << "seed " << seed << " case " << cases << ": " << shown(words)
                       << (WIFSIGNALED(status) ? " killed by signal " : " exit status ")
                       << (WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
  }
  EXPECT_GT(cases, 100);
}

}  // namespace
