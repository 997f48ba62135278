#include "config/verify_request.h"

#include <cstdio>
#include <cstdlib>

#include "config/long_options.h"
#include "config/options.h"
#include "output/accounting_log.h"
#include "run/output_stream.h"
#include "run/termination.h"
#include "run/text_format.h"

namespace {

constexpr char kRootOption[] = "--root";
constexpr char kJobsOption[] = "--jobs";
constexpr char kLogOption[] = "--log";

// The log ACCT names, as a run would write it; empty when it names none.
std::string environment_log() {
  const char* value = std::getenv("ACCT");
  if (value == nullptr || value[0] == '\0') return "";
  const std::string name = value;
  return upper_case_ascii(name) == "ON" ? kDefaultAccountingFile : name;
}

[[noreturn]] void verify_usage(const char* problem) {
  std::fprintf(message_stream,
               "%s\nUsage: %s CATALOGUE... [OPTIONS] [--root DIR] [--jobs N] [--log FILE]\n"
               "       %s OLD NEW [OPTIONS] [--log FILE]\n",
               problem, kVerifyOption, kCompareOption);
  terminate_run(kIllegalOption);
}

// "--name" or "--name=value".
bool is_long(const std::string& word, const std::string& name) {
  return word == name || word.rfind(name + "=", 0) == 0;
}

// The value of "--name=value" or of the word after "--name"; advances `i` past what it took.
bool long_value(int argc, char** argv, int* i, const std::string& name, std::string* value) {
  const std::string word = argv[*i];
  if (word.size() > name.size()) {
    *value = word.substr(name.size() + 1);
    return true;
  }
  if (*i + 1 >= argc) return false;
  *i += 1;
  *value = argv[*i];
  return true;
}

}  // namespace

bool verify_requested(int argc, char** argv, VerifyRequest* request) {
  if (argc < 2) return false;
  request->compare = std::string(argv[1]) == kCompareOption;
  if (!request->compare && std::string(argv[1]) != kVerifyOption) return false;
  int i = 2;
  for (; i < argc && !begins_option(argv[i]) && !is_long_option(argv[i]); ++i) {
    if (argv[i][0] == '\0') verify_usage("A catalogue's name is empty");
    request->catalogues.push_back(argv[i]);
  }
  if (request->catalogues.empty()) verify_usage("No catalogue to verify");
  if (request->compare && request->catalogues.size() != 2) {
    verify_usage("--compare takes two catalogues, the older first");
  }
  for (; i < argc; ++i) {
    const std::string word = argv[i];
    if (is_long(word, kRootOption) && request->compare) {
      verify_usage("--compare reads no disk: --root has no meaning in it");
    } else if (is_long(word, kLogOption)) {
      if (!long_value(argc, argv, &i, kLogOption, &request->log) || request->log.empty()) {
        verify_usage("Option --log needs the accounting log's name");
      }
    } else if (is_long(word, kRootOption)) {
      if (!long_value(argc, argv, &i, kRootOption, &request->root) || request->root.empty()) {
        verify_usage("Option --root needs a directory");
      }
    } else if (is_long(word, kJobsOption)) {
      request->run_options.push_back(word);
      if (word == kJobsOption && i + 1 < argc) request->run_options.push_back(argv[++i]);
    } else {
      request->record_options.push_back(word);
    }
  }
  if (request->log.empty()) request->log = environment_log();
  return true;
}
