// Whole runs of the program over trees the tests make: the header, the records, the
// summaries and the exit status, as a user sees them.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "platform/platform.h"
#include "support/c_library.h"
#include "support/data_reader.h"
#include "support/file_stamps.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

constexpr long kWrite = 1104673510;  // 2005-01-02 13:45:10 UTC
const std::string kMd5A = "0CC175B9C0F1B6A831C399E269772661";
const std::string kMd5Empty = "D41D8CD98F00B204E9800998ECF8427E";

std::string in40(const std::string& text) {
  return std::string(40 - text.size(), ' ') + text;
}

// a.txt ("a"), empty.dat and sub/h.txt, all last written at kWrite.
void make_tree(const TempDir& tree) {
  tree.write("a.txt", "a");
  tree.write("empty.dat", "");
  tree.write("sub/h.txt", "hello");
  for (const char* name : {"a.txt", "empty.dat", "sub/h.txt"}) {
    ASSERT_TRUE(set_stamps(tree.at(name), {kWrite}, {kWrite})) << name;
  }
}

// Splits standard output into the header and what follows it.
void split_header(const std::string& out, std::string* header, std::string* rest) {
  const std::size_t end = out.find("\n\n\n");
  *header = out.substr(0, end == std::string::npos ? out.size() : end + 3);
  *rest = end == std::string::npos ? "" : out.substr(end + 3);
}

// The standard zone's name as the C run-time reads TZ=`zone` (the program names its zone as
// the run-time does): the system's own zone stays as it was.
std::string runtime_zone_name(const char* zone) {
  const char* found = std::getenv("TZ");
  const std::string before = found != nullptr ? found : "";
  set_environment("TZ", zone);
  const std::string name = native_platform().zone_info().standard_name;
  set_environment("TZ", found != nullptr ? before.c_str() : nullptr);
  reread_zone();
  return name;
}

std::regex console_header() {
  const std::string utc = runtime_zone_name("UTC0");
  return std::regex(
      "\nStarted [A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4} GMT, "
      "[0-9]{2}:[0-9]{2} " +
      utc + " \\(" + utc + "/:0\\)\n\n\n");
}

TEST(RecordsScenario, DefaultRunShowsHeaderBareNamesWithMd5AndTheConsoleSummary) {
  TempDir tree;
  make_tree(tree);
  ProgramResult result = run_tallysum({.args = {tree.path()}});
  EXPECT_EQ(result.status, 0) << result.err;
  std::string header, records;
  split_header(result.out, &header, &records);
  EXPECT_TRUE(std::regex_match(header, console_header())) << header;
  EXPECT_EQ(records, "a.txt                     " + in40(kMd5A) + " \n" +
                         "empty.dat                 " + in40(kMd5Empty) + " \n");
  EXPECT_TRUE(std::regex_search(result.err,
                                std::regex("\n  [0-9]+ director(y|ies), 2 files, 1 bytes: \n"
                                           "  Elapsed:  0 hrs\\. 0 mins\\. [0-9]+ secs\\.\n\n$")))
      << result.err;
  EXPECT_EQ(result.err.find("Abnormal"), std::string::npos);
}

TEST(RecordsScenario, NamesWithControlCharactersGetRecordsOfTheirOwnInEscapedForm) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows names hold no control characters";
#else
  TempDir tree;
  tree.write("new\nline.txt", "a");
  tree.write("new?line.txt", "a");
  tree.write("back\\slash", "");
  ProgramResult result = run_tallysum({.args = {tree.path()}});
  EXPECT_EQ(result.status, 0) << result.err;
  std::string header, records;
  split_header(result.out, &header, &records);
  EXPECT_EQ(records, "back\\slash                " + in40(kMd5Empty) + " \n" +
                         "\\new\\nline.txt             " + in40(kMd5A) + " \n" +
                         "new?line.txt              " + in40(kMd5A) + " \n");
#endif
}

// Sparse files: sizes past 2 and 4 GiB without the disk space.
void make_sparse(const std::string& path, std::uintmax_t size) {
  std::ofstream(path, std::ios::binary).close();
  std::error_code error;
  std::filesystem::resize_file(path, size, error);
  EXPECT_FALSE(error) << path << ": " << error.message();
}

// Writes one byte at `offset` of an existing file.
void put_byte(const std::string& path, std::streamoff offset) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(file.is_open()) << path;
  file.seekp(offset);
  file.put('x');
  EXPECT_TRUE(file.good()) << path << " at " << offset;
}

TEST(RecordsScenario, ByteRangesAndSizeLimitsPastFourGibAreExact) {
  TempDir tree;
  make_sparse(tree.at("below.bin"), 2999999999);
  make_sparse(tree.at("at.bin"), 3000000000);
  make_sparse(tree.at("big.bin"), 4700000000);
  // A byte on either side of the range: only exactly its 100 bytes digest as 100 zero bytes.
  put_byte(tree.at("big.bin"), 2999999999);
  put_byte(tree.at("big.bin"), 3000000100);
  const std::string kMd5HundredZeros = "6D0BB00954CEB7FBEE436BB55A8397A9";
  auto record = [](const std::string& name, const std::string& md5) {
    return "\n" + name + std::string(26 - name.size(), ' ') + in40(md5) + " \n";
  };

  ProgramResult larger =
      run_tallysum({.args = {tree.path(), "-D3000000000,100c", "-G", "3000000000"}});
  EXPECT_EQ(larger.status, 0) << larger.err;
  EXPECT_NE(larger.out.find(record("big.bin", kMd5HundredZeros)), std::string::npos) << larger.out;
  // A range that starts at or past the end of a file digests nothing.
  EXPECT_NE(larger.out.find(record("at.bin", kMd5Empty)), std::string::npos) << larger.out;
  EXPECT_EQ(larger.out.find("below.bin"), std::string::npos) << larger.out;

  ProgramResult smaller =
      run_tallysum({.args = {tree.path(), "-D3000000000,100c", "-L3000000000"}});
  EXPECT_EQ(smaller.status, 0) << smaller.err;
  EXPECT_NE(smaller.out.find(record("below.bin", kMd5Empty)), std::string::npos) << smaller.out;
  EXPECT_NE(smaller.out.find(record("at.bin", kMd5Empty)), std::string::npos) << smaller.out;
  EXPECT_EQ(smaller.out.find("big.bin"), std::string::npos) << smaller.out;

  // The range as offsets, and a count that would run past the last 64-bit offset.
  ProgramResult offsets = run_tallysum({.args = {tree.at("big.bin"), "-D3000000000,3000000100"}});
  EXPECT_NE(offsets.out.find(record("big.bin", kMd5HundredZeros)), std::string::npos)
      << offsets.out;
  ProgramResult past_the_end = run_tallysum({.args = {tree.path(), "-D18446744073709551615,1c"}});
  EXPECT_EQ(past_the_end.status, 5);
  EXPECT_NE(past_the_end.err.find("Option -D needs a start plus count no greater than "
                                  "18446744073709551615\n"),
            std::string::npos)
      << past_the_end.err;
}

// With no digest chosen a file is not read at all, however large; and a size is no promise
// about content: a file of the system's own making that reports 0 bytes is read to its end,
// and one whose first read fails gets the markers and its message, not the empty digest.
TEST(RecordsScenario, NothingChosenReadsNothingAndAReportedSizeIsNoPromise) {
  TempDir tree;
  std::ofstream(tree.at("huge.bin"), std::ios::binary).close();
  std::error_code error;
  std::filesystem::resize_file(tree.at("huge.bin"), std::uintmax_t{1} << 40, error);
  // Wine refuses to extend a file this far.
  if (error) GTEST_SKIP() << "no file of a terabyte can be made here: " << error.message();
  ProgramResult nothing = run_tallysum({.args = {tree.path(), "-c", "-2", "-m"}});
  EXPECT_EQ(nothing.status, 0) << nothing.err;
  EXPECT_NE(nothing.out.find("huge.bin                  1099511627776 "), std::string::npos)
      << nothing.out;
#ifndef _WIN32
  ProgramResult own = run_tallysum({.args = {"/proc/self", "-f", "status", "mem"}});
  EXPECT_EQ(own.status, 0) << own.err;
  const std::string marker = "- ERROR - FILE POSSIBLY LOCKED -";
  EXPECT_NE(own.out.find("\nstatus  "), std::string::npos) << own.out;
  EXPECT_EQ(own.out.find(kMd5Empty), std::string::npos) << own.out;
  EXPECT_NE(own.out.find("\nmem                       " + in40(marker) + " \n"), std::string::npos)
      << own.out;
  EXPECT_NE(own.err.find("Read error, digest not computed: /proc/self/mem\n"), std::string::npos)
      << own.err;
#endif
}

TEST(RecordsScenario, TimesShowLocalTimeAndTheZoneAbbreviation) {
  TempDir tree;
  make_tree(tree);
  struct Case {
    const char* zone;
    std::string name;
    std::string time_and_zone;
    std::string zone_note;
  };
  const Case cases[] = {
      {"UTC0", "UTC", "01/02/2005 13:45w UTC ", "(UTC/:0)"},
      {"EST5EDT", "EST", "01/02/2005 08:45w EST ", "(EST/EDT:5*)"},
  };
  for (const Case& c : cases) {
    if (runtime_zone_name(c.zone) != c.name) {
      GTEST_SKIP() << "this C run-time misreads TZ=" << c.zone << " as "
                   << runtime_zone_name(c.zone) << " (Wine's keeps two letters of each name)";
    }
    ProgramResult result =
        run_tallysum({.args = {tree.path(), "-m"}, .environment = {std::string("TZ=") + c.zone}});
    EXPECT_EQ(result.status, 0) << result.err;
    std::string header, records;
    split_header(result.out, &header, &records);
    EXPECT_NE(header.find(c.zone_note), std::string::npos) << header;
    EXPECT_EQ(records, "a.txt                     " + in40(kMd5A) + "            1 " +
                           c.time_and_zone + "\n" + "empty.dat                 " + in40(kMd5Empty) +
                           "            0 " + c.time_and_zone + "\n");
  }
}

TEST(RecordsScenario, OutputFileHoldsHeaderWithCommandLineRecordsAndFileSummary) {
  TempDir tree;
  make_tree(tree);
  TempDir place;
  const std::string list = place.at("list.txt");
  ProgramResult result = run_tallysum({.args = {tree.path(), "-o", list}});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  const std::string text = read_file(list);
  const std::string command_line = " " + tree.path() + " -o " + list + " \n\n";
  EXPECT_NE(text.find(as_written(command_line)), std::string::npos) << text;
  const std::string records = "a.txt                     " + in40(kMd5A) + " \n" +
                              "empty.dat                 " + in40(kMd5Empty) + " \n";
  EXPECT_NE(text.find(as_written(command_line + records + "\n  ")), std::string::npos) << text;
  EXPECT_TRUE(std::regex_search(
      text, std::regex(as_written("\n  [0-9]+ director(y|ies), 2 files, 1 bytes: "
                                  "\n  Elapsed:  0 hrs\\. 0 mins\\. [0-9]+ secs\\.\n\n$"))))
      << text;
}

// Data records read back with readers other than the program's: one header row, the columns
// the options chose, whole names that hold a comma, a quote or a line end, sizes in bytes,
// times with their offset; JSON Lines with the same values; named streams as records with a
// stream field; an output file that holds the data and nothing else.
TEST(RecordsScenario, DataRecordsAreReadBackWholeByCsvAndJsonReaders) {
  TempDir tree;
  make_tree(tree);
  std::vector<std::string> names = {"a.txt", "empty.dat", "sub/h.txt"};
#ifndef _WIN32
  const std::string odd = "we,ird \"q\"\nname.txt";
  tree.write(odd, "a");
  ASSERT_TRUE(set_stamps(tree.at(odd), {kWrite}, {kWrite}));
  names.push_back(odd);
  const bool streams = set_xattr(tree.at("a.txt"), "user.one", "a");
#else
  const bool streams = false;
#endif
  const std::vector<std::string> options = {tree.path(), "-r", "-m", "-B", "-S"};
  const std::map<std::string, std::string> expected_a = {
      {"name", tree.at("a.txt")},
      {"md5", kMd5A},
      {"sha1", "86F7E437FAA5A7FCE15D1DDCB9EAEAEA377667B8"},
      {"size", "1"},
      {"last_write", "2005-01-02T08:45:10.0000000-05:00"},
  };
  const std::vector<std::string> columns = {"name", "stream", "md5", "sha1", "size", "last_write"};

  std::vector<std::string> csv_options = options;
  csv_options.insert(csv_options.end(), {"--format", "csv"});
  ProgramResult csv = run_tallysum({.args = csv_options, .environment = {"TZ=EST5EDT"}});
  ASSERT_EQ(csv.status, 0) << csv.err;
  std::vector<std::vector<std::string>> rows;
  ASSERT_TRUE(parse_csv(csv.out, &rows)) << csv.out;
  ASSERT_EQ(rows.size(), 1 + names.size() + (streams ? 1 : 0)) << csv.out;
  EXPECT_EQ(rows[0], columns);
  std::map<std::string, std::map<std::string, std::string>> by_name;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    ASSERT_EQ(rows[r].size(), columns.size()) << r;
    std::map<std::string, std::string> row;
    for (std::size_t c = 0; c < columns.size(); ++c) row[columns[c]] = rows[r][c];
    by_name[row["name"] + ":" + row["stream"]] = row;
  }
  for (const std::string& name : names) EXPECT_EQ(by_name.count(tree.at(name) + ":"), 1U) << name;
  std::map<std::string, std::string> a = by_name[tree.at("a.txt") + ":"];
  a.erase("stream");
  EXPECT_EQ(a, expected_a);
  // Header and summary on standard error, the records alone on standard output.
  EXPECT_NE(csv.err.find("\nStarted "), std::string::npos) << csv.err;
  EXPECT_EQ(csv.out.find("Started"), std::string::npos);
  if (streams) {
    EXPECT_EQ(by_name.count(tree.at("a.txt") + ":one"), 1U);
  }

  TempDir place;
  std::vector<std::string> json_options = options;
  json_options.insert(json_options.end(), {"--format", "json", "-o", place.at("list.json")});
  ProgramResult json = run_tallysum({.args = json_options, .environment = {"TZ=EST5EDT"}});
  ASSERT_EQ(json.status, 0) << json.err;
  std::vector<std::string> lines = lines_of(read_file(place.at("list.json")));
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // the system's own line ends
  }
  ASSERT_EQ(lines.size(), rows.size() - 1);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::map<std::string, std::string> object;
    ASSERT_TRUE(parse_json_object(lines[i], &object)) << lines[i];
    // A file's own record has no stream key at all.
    const std::string key = object["name"] + ":" + (object.count("stream") ? object["stream"] : "");
    std::map<std::string, std::string> row = by_name[key];
    if (row["stream"].empty()) row.erase("stream");
    EXPECT_EQ(object, row) << key;
  }
}

TEST(RecordsScenario, OutputThatCannotBeWrittenEndsWithWriteErrorInsteadOfSuccess) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no device that refuses every write as a full disk does";
#else
  TempDir tree;
  make_tree(tree);
  TempDir place;
  const std::string err = place.at("err.txt");
  const std::string command = "TZ=UTC0 '" + std::string(TALLYSUM_BINARY) + "' '" + tree.path() +
                              "' >/dev/full 2>'" + err + "' </dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 8);
  const std::string text = read_file(err);
  EXPECT_NE(text.find("Error writing output file (standard output)"), std::string::npos) << text;
  EXPECT_NE(text.find("Reason: WRITE_ERROR"), std::string::npos) << text;

  ProgramResult to_file = run_tallysum({.args = {tree.path(), "-o", "/dev/full"}});
  EXPECT_EQ(to_file.status, 8) << to_file.err;
  EXPECT_NE(to_file.err.find("Error writing output file /dev/full"), std::string::npos)
      << to_file.err;
#endif
}

}  // namespace
