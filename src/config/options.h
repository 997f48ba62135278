// The command-line parser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run/settings.h"

// Opens the accounting log named by ACCT, applies the configuration file (unless some argument
// is "-.ini"), then the arguments, then the end-of-parse rules. `argv` holds `argc` words;
// argv[0] is the program's full path. Bare arguments are paths and patterns and may only
// precede the first option argument (one beginning with '-' or '+'; on this platform '/'
// begins an absolute path). Every syntax error ends the run with reason 5; -?, -@ and some
// errors show the help screen or the SHA-2 notice first.
// An argument beginning with "--" is read only as a long option; --verify makes a run of its
// own (verify_request.h), so met here it ends the run with reason 5 like an unknown one, and
// --help or --version anywhere is answered before anything else is read or opened.
void parse_command_line(int argc, char** argv);

// `tallysum --verify CATALOGUE`.
inline constexpr const char* kVerifyOption = "--verify";
inline constexpr const char* kCompareOption = "--compare";
// True when the argument begins an option: it begins with one of the platform's option
// prefixes ('/' among them only where it cannot begin an absolute path).
bool begins_option(const char* text);

// What a quiet parse found. `problem` is empty when the words were read whole; otherwise it
// is the line that would have ended a run, and the record holds what was read before it.
struct OptionOutcome {
  std::string problem;
  std::vector<std::string> passed_over;  // "-?", "-@", "-k": letters that would only show help
  bool ok() const { return problem.empty(); }
};
// Reads `words` (words[0] the program's path) into `into` as parse_command_line reads the
// arguments, from whatever `into` holds, but without the environment's log and the
// configuration file, without opening anything an option names, showing nothing and asking
// nothing: the words alone decide, and the run goes on whatever they say.
OptionOutcome parse_option_words(const std::vector<std::string>& words, Settings* into);

// The decimal number at the start of `text`, digits only, up to the first non-digit; 0 when
// no digit comes first; saturates at the largest signed 32-bit value.
int read_option_number(const char* text);

// The largest byte offset or count a run can be given.
constexpr std::uint64_t kLargestByteCount = ~std::uint64_t{0};

// A byte offset or size limit as a user writes it, on the command line or in the
// configuration file: optional blanks and a sign, then decimal digits up to the first
// non-digit (0 when no digit comes first). False, leaving the value alone, when the digits do
// not fit in 64 bits.
// An offset below 0 is 0.
bool read_byte_offset(const char* text, std::uint64_t* offset);
// A size limit keeps its sign.
bool read_size_limit(const char* text, SizeLimit* limit);
