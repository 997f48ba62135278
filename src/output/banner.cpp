#include "output/banner.h"

#include <cstring>
#include <string>
#include <vector>

#include "output/destinations.h"
#include "platform/platform.h"
#include "run/output_stream.h"

namespace {

constexpr int kBoxInner = 74;
constexpr int kConsoleWidth = 80;
constexpr int kBannerDepth = 30;
constexpr const char* kProgramName = "TALLYSUM";
constexpr const char* kCheckMark = "\u221A";

std::string repeat(const char* glyph, int count) {
  std::string line;
  for (int i = 0; i < count; ++i) line += glyph;
  return line;
}

std::string top_line() {
  return "\u2554" + repeat("\u2550", kBoxInner) + "\u2557";
}
std::string side_line() {
  return "\u2551" + std::string(kBoxInner, ' ') + "\u2551";
}
std::string bottom_line() {
  return "\u255A" + repeat("\u2550", kBoxInner) + "\u255D";
}

// The text split into one string per column, so glyphs of several bytes stay whole.
std::vector<std::string> columns_of(const std::string& text) {
  std::vector<std::string> cells;
  for (unsigned char c : text) {
    if ((c & 0xC0) == 0x80 && !cells.empty()) {
      cells.back() += static_cast<char>(c);
    } else {
      cells.emplace_back(1, static_cast<char>(c));
    }
  }
  return cells;
}

int two_digits(const char* text) {
  int tens = text[0] == ' ' ? 0 : text[0] - '0';
  return tens * 10 + (text[1] - '0');
}

int month_number(const char* build_date) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int m = 0; m < 12; ++m) {
    if (std::strncmp(build_date, kMonths[m], 3) == 0) return m + 1;
  }
  return 0;
}

std::string version_digits_from(const char* build_date, const char* build_time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%02d.%02d.%02d", two_digits(build_date + 9),
                month_number(build_date), two_digits(build_date + 4), two_digits(build_time),
                two_digits(build_time + 3));
  return text;
}

}  // namespace

int text_columns(const std::string& text) {
  int columns = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++columns;
  }
  return columns;
}

void print_centred(std::FILE* stream, const std::string& text, int width) {
  int pad = (width - text_columns(text)) / 2;
  std::fprintf(stream, "%*s%s", pad > 0 ? pad : 0, "", text.c_str());
}

std::string version_text_from(const char* build_date, const char* build_time) {
  return version_digits_from(build_date, build_time) + kCheckMark;
}

std::string build_version() {
  return version_digits_from(__DATE__, __TIME__);
}

std::string version_text() {
  return build_version() + kCheckMark;
}

std::string banner_text_line(const std::string& text) {
  std::vector<std::string> line = columns_of(side_line());
  std::vector<std::string> cells = columns_of(text);
  int start = 38 - static_cast<int>(cells.size()) / 2;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    int at = start + static_cast<int>(i);
    if (at >= 0 && at < static_cast<int>(line.size())) line[at] = cells[i];
  }
  std::string joined;
  for (const std::string& cell : line) joined += cell;
  return joined;
}

int show_banner(int line_count) {
  if (line_count < kBannerDepth) {
    std::fputs(std::string(kBannerDepth - line_count, '\n').c_str(), message_stream);
  }
  const std::string lines[] = {
      top_line(), banner_text_line(kProgramName),
      banner_text_line("Ver. " + version_text() + " (" + std::to_string(kBuildBits) + " bit) "),
      side_line(), bottom_line()};
  for (const std::string& line : lines) {
    print_centred(message_stream, line, kConsoleWidth);
    std::fputs("\n", message_stream);
  }
  return line_count + 4;
}
