#include "output/catalogue.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "output/file_times.h"
#include "run/settings.h"

namespace {

constexpr std::size_t kUnbounded = std::string::npos;
constexpr char kStarted[] = "Started ";
constexpr char kAutoWidth[] = " AUTOWIDTH -Mw= ";
// The trailing name's leading spaces are cut from a source of this many.
constexpr std::size_t kSpacesSource = 258;
constexpr std::size_t kSizeWidth = 12;
constexpr std::size_t kZoneWidth = 3;
constexpr std::size_t kShortNameWidth = 16;  // a space, then the name padded to 15

// What one column of a layout holds, the delimiter that ends it not counted.
struct ColumnRule {
  ColumnKind kind = ColumnKind::kName;
  std::size_t min = 0;
  std::size_t max = kUnbounded;
  std::size_t hex_digits = 0;   // kDigest: the digest's length in hexadecimal
  std::string shape;            // '9' a digit, 'D' the delimiter, anything else itself
  std::string literal;          // kComment: exactly this, its delimiter included
  std::size_t name_offset = 0;  // kName: spaces written before the name
};

using Layout = std::vector<ColumnRule>;

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

bool starts_with(const std::string& text, const char* head) {
  return text.rfind(head, 0) == 0;
}

bool is_header_at(const std::vector<std::string>& lines, std::size_t i) {
  return (i == 0 || lines[i - 1].empty()) && starts_with(lines[i], kStarted) &&
         i + 2 < lines.size() && lines[i + 2].empty();
}

int read_auto_width(const std::string& line) {
  int width = 0;
  for (std::size_t i = sizeof kAutoWidth - 1;
       i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i) {
    width = std::min(width * 10 + (line[i] - '0'), 1 << 20);
  }
  return width;
}

ColumnRule fixed_column(ColumnKind kind, std::size_t width) {
  ColumnRule rule;
  rule.kind = kind;
  rule.min = width;
  rule.max = width;
  return rule;
}

ColumnRule name_column(std::size_t min, std::size_t max, std::size_t offset) {
  ColumnRule rule;
  rule.min = min;
  rule.max = max;
  rule.name_offset = offset;
  return rule;
}

ColumnRule digest_column(std::size_t width, std::size_t hex_digits) {
  ColumnRule rule = fixed_column(ColumnKind::kDigest, width);
  rule.hex_digits = hex_digits;
  return rule;
}

ColumnRule size_column() {
  ColumnRule rule;
  rule.kind = ColumnKind::kSize;
  rule.min = kSizeWidth;
  return rule;
}

ColumnRule short_name_column() {
  ColumnRule rule;
  rule.kind = ColumnKind::kShortName;
  rule.min = kShortNameWidth;
  return rule;
}

ColumnRule time_column(char letter, bool fixed_form, const Settings& s) {
  std::string shape = !fixed_form && s.year_first_dates ? "9999/99/99" : "99/99/9999";
  shape += "D99:99";
  if (fixed_form || s.time_kind == '3' || s.time_seconds) shape += ":99";
  shape += letter;
  ColumnRule rule =
      fixed_column(letter == 'a' ? ColumnKind::kAccessTime : ColumnKind::kTime, shape.size());
  rule.shape = shape;
  return rule;
}

// Returns whether any stamp was selected.
bool add_time_columns(Layout* layout, bool fixed_form, const Settings& s) {
  const char* letters = selected_stamps(s.time_kind, fixed_form);
  for (const char* letter = letters; *letter; ++letter) {
    layout->push_back(time_column(*letter, fixed_form, s));
  }
  return *letters != '\0';
}

// The name column of both stream forms: padded and never cut under name_only, else exactly
// the name width.
ColumnRule stream_name_rule(const Settings& s) {
  if (s.name_only) return name_column(static_cast<std::size_t>(s.name_only_width), kUnbounded, 0);
  auto width = static_cast<std::size_t>(s.name_width);
  return name_column(width, width, 0);
}

void add_file_name(Layout* layout, const Settings& s, bool trailing) {
  std::size_t spaces =
      trailing ? std::min(static_cast<std::size_t>(s.name_after_digest), kSpacesSource) : 0;
  auto width = static_cast<std::size_t>(s.name_width);
  if (s.name_only) {
    layout->push_back(
        name_column(spaces + static_cast<std::size_t>(s.name_only_width), kUnbounded, spaces));
  } else if (s.name_width > 8) {
    layout->push_back(name_column(width, width, 0));
  } else {
    layout->push_back(name_column(spaces, kUnbounded, spaces));
  }
}

Layout file_layout(const Settings& s) {
  Layout layout;
  if (s.comment_given) {
    ColumnRule comment;
    comment.kind = ColumnKind::kComment;
    comment.literal = s.comment_text;
    if (s.delimiter != ' ') comment.literal += s.delimiter;
    layout.push_back(comment);
  }
  if (s.name_after_digest == 0) add_file_name(&layout, s, false);
  if (s.md5) layout.push_back(digest_column(s.name_width < 8 ? 32 : 40, 32));
  if (s.sha1) layout.push_back(digest_column(40, 40));
  if (s.crc32) layout.push_back(digest_column(40, 8));
  if (s.sha256) layout.push_back(digest_column(65, 64));
  if (s.sha384) layout.push_back(digest_column(97, 96));
  if (s.sha512) layout.push_back(digest_column(129, 128));
  if (s.name_after_digest != 0) add_file_name(&layout, s, true);
  if (s.path_only) return layout;
  layout.push_back(size_column());
  add_time_columns(&layout, false, s);
  layout.push_back(fixed_column(ColumnKind::kZone, kZoneWidth));
  if (s.dos_name) layout.push_back(short_name_column());
  return layout;
}

// One digest: MD5, else CRC-32, else SHA-1, else the first SHA-2 kind, right-aligned in 40.
ColumnRule file_stream_digest(const Settings& s) {
  if (s.md5) return digest_column(40, 32);
  if (s.crc32) return digest_column(40, 8);
  if (s.sha1) return digest_column(40, 40);
  if (s.sha256) return digest_column(64, 64);
  if (s.sha384) return digest_column(96, 96);
  if (s.sha512) return digest_column(128, 128);
  return digest_column(40, 0);
}

Layout file_stream_layout(const Settings& s) {
  Layout layout{stream_name_rule(s), file_stream_digest(s)};
  if (s.path_only) return layout;
  layout.push_back(size_column());
  if (s.time_kind != '0' && s.show_times && add_time_columns(&layout, true, s)) {
    layout.push_back(fixed_column(ColumnKind::kZone, kZoneWidth));
  }
  if (s.dos_name) layout.push_back(short_name_column());
  return layout;
}

Layout directory_stream_layout(const Settings& s) {
  Layout layout{stream_name_rule(s)};
  if (s.md5) layout.push_back(digest_column(40, 32));
  if (s.crc32) layout.push_back(digest_column(40, 8));
  if (s.sha1) layout.push_back(digest_column(40, 40));
  if (s.path_only) return layout;
  layout.push_back(size_column());
  if (s.time_kind != '0' && s.show_times) {
    add_time_columns(&layout, false, s);
    layout.push_back(fixed_column(ColumnKind::kZone, kZoneWidth));
  }
  if (s.dos_name) {
    ColumnRule blank = fixed_column(ColumnKind::kShortName, kShortNameWidth);
    blank.shape = std::string(kShortNameWidth, ' ');
    layout.push_back(blank);
  }
  return layout;
}

std::string_view without_leading_spaces(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

bool all_hex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

// Markers say "ERROR" in some case; the MD5 one is lowered with the digests.
bool holds_error_word(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered.find("error") != std::string::npos;
}

bool fits_shape(std::string_view content, const std::string& shape, char delimiter) {
  if (content.size() != shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const char c = content[i];
    if (shape[i] == '9' ? !std::isdigit(static_cast<unsigned char>(c))
                        : c != (shape[i] == 'D' ? delimiter : shape[i])) {
      return false;
    }
  }
  return true;
}

// A size right-aligned in 12 columns, wider only when its digits need more.
bool is_size(std::string_view content) {
  if (content.size() > kSizeWidth && content[0] == ' ') return false;
  std::string_view number = without_leading_spaces(content);
  if (!number.empty() && number[0] == '-') number.remove_prefix(1);
  return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
}

bool holds(const ColumnRule& rule, std::string_view content, char delimiter) {
  if (!rule.shape.empty()) return fits_shape(content, rule.shape, delimiter);
  switch (rule.kind) {
    case ColumnKind::kDigest: {
      // A marker has the digest's width too, so a name cannot pass for either.
      std::string_view text = without_leading_spaces(content);
      return text.size() == rule.hex_digits && (all_hex(text) || holds_error_word(text));
    }
    case ColumnKind::kSize:
      return is_size(content);
    case ColumnKind::kShortName:
      return content[0] == ' ';
    default:
      return true;
  }
}

// Tries the columns of a layout one by one; where a column's width is open, every position
// of a delimiter is tried until the rest of the record fits.
class Splitter {
 public:
  Splitter(const std::string& record, const Layout& layout, char delimiter,
           std::vector<Column>* out)
      : record_(record), layout_(layout), delimiter_(delimiter), out_(out) {}

  bool from(std::size_t k, std::size_t pos) {
    if (k == layout_.size()) return pos == record_.size();
    const ColumnRule& rule = layout_[k];
    if (rule.kind == ColumnKind::kComment) {
      if (record_.compare(pos, rule.literal.size(), rule.literal) != 0) return false;
      return take(k, pos, rule.literal.size());
    }
    if (pos >= record_.size()) return false;
    const std::size_t last = std::min(rule.max, record_.size() - pos - 1);
    const std::string_view all(record_);
    for (std::size_t n = rule.min; n <= last; ++n) {
      if (record_[pos + n] != delimiter_) continue;
      if (holds(rule, all.substr(pos, n), delimiter_) && take(k, pos, n + 1)) return true;
    }
    return false;
  }

 private:
  bool take(std::size_t k, std::size_t pos, std::size_t length) {
    out_->push_back({layout_[k].kind, pos, length, layout_[k].name_offset});
    if (from(k + 1, pos + length)) return true;
    out_->pop_back();
    return false;
  }

  const std::string& record_;
  const Layout& layout_;
  const char delimiter_;
  std::vector<Column>* out_;
};

}  // namespace

std::vector<CatalogueRun> read_catalogue(const std::string& text) {
  const std::vector<std::string> lines = split_lines(text);
  std::vector<CatalogueRun> runs;
  std::size_t i = 0;
  while (i < lines.size()) {
    if (!is_header_at(lines, i)) {
      ++i;
      continue;
    }
    CatalogueRun run;
    run.started_line = lines[i];
    run.command_line = lines[i + 1];
    // The first record follows an empty line too, so it is never taken for a header.
    for (i += 3; i < lines.size() && !lines[i].empty(); ++i) run.records.push_back(lines[i]);
    for (; i < lines.size() && !is_header_at(lines, i); ++i) {
      if (starts_with(lines[i], kAutoWidth)) run.auto_width = read_auto_width(lines[i]);
    }
    runs.push_back(std::move(run));
  }
  return runs;
}

std::vector<std::string> command_words(const std::string& command_line) {
  std::vector<std::string> words;
  std::size_t start = 0;
  for (;;) {
    std::size_t space = command_line.find(' ', start);
    if (space == std::string::npos) {
      if (start < command_line.size()) words.push_back(command_line.substr(start));
      return words;
    }
    words.push_back(command_line.substr(start, space - start));
    start = space + 1;
  }
}

bool split_record(const std::string& record, RecordForm form, const Settings& settings,
                  std::vector<Column>* columns) {
  Layout layout;
  switch (form) {
    case RecordForm::kFile:
      layout = file_layout(settings);
      break;
    case RecordForm::kFileStream:
      layout = file_stream_layout(settings);
      break;
    case RecordForm::kDirectoryStream:
      layout = directory_stream_layout(settings);
      break;
  }
  columns->clear();
  return Splitter(record, layout, settings.delimiter, columns).from(0, 0);
}

bool split_any_record(const std::string& record, const Settings& settings,
                      std::vector<Column>* columns) {
  for (RecordForm form :
       {RecordForm::kFile, RecordForm::kFileStream, RecordForm::kDirectoryStream}) {
    if (split_record(record, form, settings, columns)) return true;
  }
  return false;
}

std::string record_name(const std::string& record, const std::vector<Column>& columns) {
  for (const Column& column : columns) {
    if (column.kind != ColumnKind::kName) continue;
    std::string name =
        record.substr(column.start + column.name_offset, column.length - 1 - column.name_offset);
    std::size_t end = name.find_last_not_of(' ');
    name.resize(end == std::string::npos ? 0 : end + 1);
    return name;
  }
  return "";
}

std::string without_access_columns(const std::string& record, const std::vector<Column>& columns) {
  std::string kept;
  std::size_t pos = 0;
  for (const Column& column : columns) {
    if (column.kind != ColumnKind::kAccessTime) continue;
    kept.append(record, pos, column.start - pos);
    pos = column.start + column.length;
  }
  kept.append(record, pos, std::string::npos);
  return kept;
}

bool shows_digest_marker(const std::string& record, const std::vector<Column>& columns) {
  const std::string_view all(record);
  return std::any_of(columns.begin(), columns.end(), [&](const Column& column) {
    if (column.kind != ColumnKind::kDigest) return false;
    std::string_view text = without_leading_spaces(all.substr(column.start, column.length - 1));
    return !text.empty() && !all_hex(text);
  });
}
