#include "config/usage.h"

#include <cstdio>
#include <string>

#include "digest/kernel_select.h"
#include "output/banner.h"
#include "platform/platform.h"
#include "run/termination.h"
#include "run/text_format.h"

namespace {

constexpr const char* kHelpOption = "--help";
constexpr const char* kVersionOption = "--version";

struct UsageLine {
  const char* option;
  const char* meaning;
};

// One line per long option, in the order a user meets them.
constexpr UsageLine kLongOptions[] = {
    {"--jobs N", "read with N workers (default: per processor, at least 8)"},
    {"--format csv|json", "records as CSV with a header row, or JSON Lines"},
    {"--verify CATALOGUE", "what changed on the disk since CATALOGUE was written"},
    {"--compare OLD NEW", "what differs between two catalogues, no disk read"},
    {"  --root DIR", "with --verify: where relative search paths start"},
    {"  --log FILE", "with either: whether the log shows a catalogue edited"},
    {"--help, --version", "this summary; version, build and digest kernels in use"},
};

// The one-letter options by what they do; the paged screen of -? and the manual say more.
constexpr const char* kOptionGroups[] = {
    "Selection  -r recurse  -f PATTERNS  -p PATHS  -x PATTERNS left out  -q ATTRS\n",
    "           -g/-l DAYS|mm-dd-yyyy[acw] older/newer  -G/-L BYTES at least/most\n",
    "Digests    -h MD5 (default)  -s SHA-1  -B both  -c CRC-32  -256  -384  -512\n",
    "           -U lower-case MD5  -D START[,END[o|c]] range  -b from byte 512\n",
    "Columns    -w N name width (0: 260)  -W N keeps the head  -n no directory\n",
    "           -N name and digest  -m times, size  -t[acw30] which times  -z UTC\n",
    "           -A name last  -C TEXT first  -d CHAR delimiter  -8 short name\n",
    "Output     -o FILE  -O FILE appended  -o stdout  -1 LOG run log  -v quiet\n",
    "           -i no count  -M fit width  -S named streams  -R reset access times\n",
};

constexpr UsageLine kExamples[] = {
    {"tallysum data -r -w 0 -o list.txt", "catalogue a tree to a file"},
    {"tallysum --verify list.txt", "later, from the same place: what changed"},
    {"tallysum --compare OLD.TXT NEW.TXT", "what differs between two catalogues"},
};

std::string usage_text() {
  std::string text;
  append_format(&text, "Usage: tallysum [PATH | PATH%cPATTERN]... [OPTION]...\n", kSeparator);
  text += "One line per file with its digests; -? pages every option in full.\n";
  for (const char* group : kOptionGroups) text += group;
  text += "Long options\n";
  for (const UsageLine& line : kLongOptions) {
    append_format(&text, "  %-20s %s\n", line.option, line.meaning);
  }
  text += "Examples\n";
  for (const UsageLine& line : kExamples) {
    append_format(&text, "  %-36s %s\n", line.option, line.meaning);
  }
  append_format(&text, "Manual: %s\n", kManualPlace);
  return text;
}

struct KernelName {
  const char* digest;
  DigestAlgorithm algorithm;
};

// SHA-384 runs on the SHA-512 kernel.
constexpr KernelName kKernels[] = {
    {"MD5", DigestAlgorithm::kMd5},        {"SHA-1", DigestAlgorithm::kSha1},
    {"SHA-256", DigestAlgorithm::kSha256}, {"SHA-384/512", DigestAlgorithm::kSha512},
    {"CRC-32", DigestAlgorithm::kCrc32},
};

std::string version_answer() {
  std::string text;
  append_format(&text, "tallysum %s\n", build_version().c_str());
  append_format(&text, "Build: %s %s\n", kSystemName, kProcessorName);
  text += "Digest kernels:";
  const char* separator = " ";
  for (const KernelName& kernel : kKernels) {
    append_format(&text, "%s%s %s", separator, kernel.digest,
                  kernel_in_use(kernel.algorithm).c_str());
    separator = ", ";
  }
  text += "\n";
  return text;
}

// Written in one piece and flushed, so that a failure anywhere shows.
bool write_to_stdout(const std::string& text) {
  return std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
}

}  // namespace

void answer_help_or_version(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg != kHelpOption && arg != kVersionOption) continue;
    const bool written = arg == kHelpOption ? write_usage() : write_version();
    end_run_at_once(written ? kNormalExit : kWriteError);
  }
}

bool write_usage() {
  return write_to_stdout(usage_text());
}

bool write_version() {
  return write_to_stdout(version_answer());
}
