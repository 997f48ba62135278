#include "config/help.h"

#include <cctype>
#include <cstdio>

#include "output/banner.h"
#include "output/destinations.h"
#include "platform/platform.h"
#include "run/output_stream.h"
#include "run/settings.h"
#include "run/termination.h"

int help_page_count = 0;

namespace {

constexpr int kPageLines = 24;
constexpr int kPageFull = 21;
constexpr int kConsoleWidth = 80;
constexpr int kCtrlC = 3;
constexpr int kEscape = 27;

void say(const char* text) {
  std::fputs(text, message_stream);
}

void clear_screen() {
  for (int i = 0; i < kPageLines; ++i) say("\n");
}

// Counts the lines of a group and turns the page once it is full.
int after_group(int line_count, int group_lines) {
  line_count += group_lines;
  return line_count >= kPageFull ? page_break(line_count) : line_count;
}

// The reader declined to go on: the run ends where it stands, without a summary.
[[noreturn]] void leave_help() {
  end_run_at_once(kIllegalOption);
}

void wait_for_reader() {
  say("\n");
  print_centred(message_stream, "RETURN TO CONTINUE, ^C or x==exit", kConsoleWidth);
  std::fflush(message_stream);
  int key = os().read_key();
  if (key == kKeyEndOfInput || key == kKeyInterrupted || key == kCtrlC || key == kEscape) {
    leave_help();
  }
  if (key >= 0 && key <= 255 && std::toupper(key) == 'X') leave_help();
}

int common_options(int count) {
  say("-p + path(s):  additional paths to search, can include multiple paths separated\n");
  say("               by spaces. (i.e.  -p c:\\work  c:\\bin d:\\)     [PATH=pathname]\n");
  count = after_group(count, 2);
  say("-f + filetype: additional filetypes to search for seperated by spaces. \n");
  say("      (i.e. *.c *.bat, default == *.*.)                      [FILES=filetype]\n");
  count = after_group(count, 2);
  say("-xX + exclude: exclude these file types from the processing  [EXCLUDE=filetype]\n");
  say("      -X makes the search case sensitive. not recommended\n");
  count = after_group(count, 2);
  std::fprintf(message_stream,
               "-r:   %srecurse through path, default to %srecurse        [RECURSE=[ON|OFF]]\n",
               settings.recurse == 1 ? "DO NOT " : "", settings.recurse == 1 ? "" : "NOT ");
  count = after_group(count, 1);
  say("-oO + output:  filename for output. Output can be redirected using > output\n");
  say("      -O automatically causes -a (append option to be used)  [OUTPUT=filename]\n");
  say("-oO + MMDDYY:  causes the output file to be named with todays date\n");
  count = after_group(count, 3);
  say("-a:            append to output file.                       [APPEND=[ON|OFF]]\n");
  count = after_group(count, 2);
  say("-i:            Proceed 'I'mmediately. DO NOT do a pre-count of files to process\n");
  say("-v:            (NO verbose) do NOT print any headers.\n");
  say("               Same as set an environment variable:  set SILENT=ON\n");
  return after_group(count, 3);
}

int selection_options(int count) {
  say("-g #:          Show files greater than # days old           [OLDER=xxx]\n");
  say("-g mm-dd-yyyy[acw]: Show files older than this date. (this date NOT counted)\n");
  say("\n");
  say("-l #:          Show files less than # days old              [NEWER=xxx]\n");
  say("-l mm-dd-yyyy[acw]: Show files newer than this date. (this date IS included)\n");
  say("      The  [acw] literals, choose which time to base the mm-dd-yyyy test on\n");
  say("      Any or all [acw] can be used. If none used, then default is w\n");
  say("      examples:  -l 10-20-2005a, -g 12-05-2005w, -l 12-20-2005a  -g 10-01-2005c\n");
  say("      examples:  -l 10-20-2005acw, -g 12-05-2005wc\n");
  count = after_group(count, 9);
  say("-G #:          Show files greater than # bytes in size      [GREATER=xxx]\n");
  say("-L #:          Show files less than # bytes in size         [LESSTHAN=xxx]\n");
  return after_group(count, 2);
}

int record_options(int count) {
  say("-d #:    insert delimeters of this (#) value between output fields.\n");
  say("         If pipe (|), enclose in \"|\" quotes.                [DELIMETER=x] \n");
  say("-D #:    start processing # characters into the file.       [DISPLACE=xxx]\n");
  count = after_group(count, 3);
  say("-N:      only print file path and name, no other information.\n");
  say("         This is ideal for providing a filename only listing\n");
  count = after_group(count, 2);
  say("-n:      in output file, print only filename, and not path\n");
  count = after_group(count, 1);
  say("-w + #:  limit filename length to # characters                 [WIDTH=xxx]\n");
  say("         default is 80 for full path, and 15 for -n option\n");
  say("         any value between 1 and 8 forces a single space before MD5 value.\n");
  say("         making it a variable length record output.  FNAME.EXT 123XXXX_value\n");
  count = after_group(count, 4);
  say("-M:      AUTO-ADJUST filename width to fit longest path found. [AUTO=[ON|OFF]]\n");
  say("         Overridden by -w, or -i. Only active for output file (-o option)\n");
  count = after_group(count, 2);
  std::fprintf(message_stream,
               "-m:   %sinclude Date/Time, default is to %sinclude Date/Time [MILITARY]=\n",
               settings.show_times == 1 ? "DO NOT " : "", settings.show_times == 1 ? "" : "NOT ");
  say("      the -m automatically chooses -tw unless otherwise specified\n");
  say("-1 +  filename: to contain logging information.                 [ACCT=filename]\n");
  say("      default logging file can also be set in environment by SET ACCT=filename\n");
  say("-U:   no Upper case. Reduce all hash values to lower case hex digits. \n");
  return count + 6;
}

int digest_options(int count) {
  count = page_break(count);
  say("-A:   place filename after md5 hash value\n");
  say("-Ax:  replace x with number of spaces to add after the delimeter\n");
  say("      remember, in most cases, the delimeter already is a space\n");
  say("      suggest using in conjuction with -w1 option\n");
  say("      The resulting command would be like: -A  -U -w 1   or\n");
  say("      The resulting command would be like: -A3 -U -w 1\n\n");
  count = page_break(count + 8);
  say("-D xx,XX[oc]: supercedes default -D option. \n");
  say("      Start xx bytes in file, process to XX bytes, or count XX bytes\n");
  say("      The default for XX is stop at this END Byte XX (offset) of the file.\n");
  say("      The XXo for XX offset, is default for end byte offset.\n");
  say("      If o is replaced by a 'c' for count, the XX becomes a value to \n");
  say("      to be added to xx and come up with and END XX offset.\n");
  say("      The 100,200  would start at 100, and end at 200.\n");
  say("      The 100,200c would start at 100, and count 200 to end at 300\n");
  say("      If XX[oc] is needed, xx is required, even if it is 0. ie:  0,200\n");
  say("      will process the first 200 characters of a file. \n\n");
  say("      All counts use a base of 0, and start counting at 0\n");
  say("      So -D100,200 would actually start at byte 99, and count to 199\n");
  count = page_break(count + 14);
  say("-C +  comment_string: Add comment_string before record\n");
  say("-c:   Produce 32bit CRC of file\n");
  say("-s:   perform SHA1 instead of MD5 calculations.\n");
  say("-B:   Do Both MD5 and SHA of file.\n");
  say("-256: Do SHA2  256 bit calculation\n");
  say("-384: Do SHA2  384 bit calculation\n");
  say("-512: Do SHA2  512 bit calculation\n");
  say("-@:   Show copyright for SHA2 code\n");
  say("\nAny of the SHA2 options, turn off MD5 (128 bit) calculations. \n");
  say("Only -s is compatable with the SHA2 options\n");
  say("If the recurse -r is included, the full path is added to filename\n");
  say("If -N is used, the file size is added\n");
  return page_break(count + 13);
}

int time_options(int count) {
  say("The next options are generally only available for WIN95 or WINNT file systems \n");
  say("And may not be available for all 32 bit programs\n");
  count = after_group(count, 3);
  say("-[Tt][aAcCwW]: \n  print time as [a]ccess, [c]reate, last [w]rite/modify time. "
      "[TIME=[30acw]]\n");
  say("  if file system is not NTFS, access time is 00:00. Operating systems alter\n");
  say("  Access date/times of files. If environment variable RESET is set, program\n");
  say("  program resets access time to original access time. (More Info in .HLP FILE)\n");
  count = after_group(count, 4);
  say("-[Tt][3]: print all three (-t3) times if NTFS or WIN9x system.  [ALLTIMES=ON]\n");
  say("-[t0]:    don't print any file times\n");
  say("NOTE:--> if T is uppercase, date is printed YYYY/MM/DD for sorting.\n");
  say("         if -t uppercase [ACW] file seconds are printed. \n");
  count = after_group(count, 4);
  say("-R:     RESET file times (32 bit version only) SEE -h option\n");
  say("        set environment variable RESET serves same purpose\n");
  count = after_group(count, 2);
  say("-[Zz]: show time as (ZULU) (U)niversal GMT time (using TZ variable) [ZULU]=\n");
  return after_group(count, 1);
}

int name_options(int count) {
  std::fprintf(message_stream,
               "-S:     %sshow Multiple Data Streams. Default = %sshow.[STREAM=[ON|OFF]]\n",
               settings.streams == 1 ? "DO NOT " : "", settings.streams == 1 ? "to " : "DON'T ");
  count = after_group(count, 1);
  say("-@:     print the copyright notice for the SHA2 algorithms.\n");
  count = after_group(count, 1);
  say("-8:     also print DOS 8.3 filename at end of output record.         [8.3]\n");
  count = after_group(count, 1);
  say("-88:    \"must be -88, no spaces\" print uppercase LFN at end of record.\n");
  count = after_group(count, 1);
  say("-88xx:  replace xx with a value representing max name width. \n");
  count = after_group(count, 1);
  say("        ex: -8830 will make the LFN 30 characters long.\n");
  say("-88 and -8 options are mutually Exclusive. (use one or the other, not both)\n\n");
  count = after_group(count, 4);
  say("\n\n-lg samples:\n");
  say("-l 12-01-2005 will find a file newer than 12-01-2005 \n");
  say("              and WILL include files of date 12-01-2005\n");
  say("-g 01-01-2005 will find files older (before) 01-01-2005\n");
  say("              and WILL NOT include Jan 1, 2005 in the test\n");
  return page_break(count + 5);
}

// Options beyond the letters: the last page has room for them above the closing banner.
int long_options(int count) {
  say("--verify catalogue [options] [--root dir]: compare a catalogue with the disk\n");
  say("      now: a CHANGED (columns), MISSING, NEW or UNREADABLE line per difference;\n");
  say("      exit status 0 if none, 1 if any, 10 if it can't be matched\n");
  say("--compare old new [options]: the same lines for two catalogues, no disk read\n");
  say("--format csv|json: records as CSV with a header row or as JSON Lines, full paths\n");
  say("--log file with either: whether the run's log entry shows the catalogue altered\n");
  return after_group(count, 6);
}

}  // namespace

int page_break(int line_count) {
  if (line_count < kPageLines - 1) {
    for (int i = line_count; i < kPageLines; ++i) say("\n");
  }
  if (help_page_count > 0) wait_for_reader();
  help_page_count += 1;
  clear_screen();
  say("\n\n");
  int count = show_banner(2);
  say("\n\n");
  return count + 2;
}

void show_help_screen() {
  int count = page_break(0);
  count = common_options(count);
  count = selection_options(count);
  count = record_options(count);
  count = digest_options(count);
  count = time_options(count);
  count = name_options(count);
  count = long_options(count);
  show_banner(count);
  std::fflush(message_stream);
}

bool open_help_file(const std::string& program_path) {
  std::string help_path = os().find_help_file(program_path);
  return !help_path.empty() && os().show_help_file(help_path);
}

[[noreturn]] void write_sha2_notice() {
  static const char* const kNotice[] = {
      "The SHA-256, SHA-384 and SHA-512 code of this program was written by the tallysum\n",
      "authors, who hold its copyright.\n",
      "\n",
      "Redistribution and use in source and binary forms, with or without change, are\n",
      "allowed when the following three conditions are met:\n",
      "  1. Copies of the source code keep the copyright line above, this list of\n",
      "     conditions and the disclaimer below.\n",
      "  2. Binary copies reproduce the copyright line above, this list of conditions and\n",
      "     the disclaimer below in their documentation or other accompanying material.\n",
      "  3. Neither the authors' names nor the names of contributors may be used to\n",
      "     endorse or promote products derived from this code without their prior\n",
      "     written permission.\n",
      "\n",
      "DISCLAIMER: this code is provided \"as is\". The authors and contributors give no\n",
      "warranty of any kind, express or implied, including the implied warranties of\n",
      "merchantability and fitness for a particular purpose. In no event shall they be\n",
      "liable for any direct, indirect, incidental, special, exemplary or consequential\n",
      "damages (including loss of data, use or profits, or business interruption),\n",
      "however caused and on any theory of liability, whether in contract, strict\n",
      "liability or tort (including negligence), arising in any way out of the use of\n",
      "this code, even if advised of the possibility of such damage.\n",
  };
  for (const char* line : kNotice) std::fputs(line, stdout);
  end_run_at_once(kIllegalOption);
}
