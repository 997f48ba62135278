#include "output/catalogue.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "output/data_catalogue.h"
#include "output/data_record.h"
#include "output/file_times.h"
#include "run/settings.h"

namespace {

constexpr std::size_t kUnbounded = std::string::npos;
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
  std::size_t hex_digits = 0;            // kDigest: the digest's length in hexadecimal
  std::string shape;                     // '9' a digit, 'D' the delimiter, anything else itself
  std::string literal;                   // kComment: exactly this, its delimiter included
  std::size_t name_offset = 0;           // kName: spaces written before the name
  DigestKind digest = DigestKind::kMd5;  // kDigest: which one
  const char* label = "";                // kDigest: the digest's name
  char stamp = 0;                        // kTime, kAccessTime: the stamp's letter
  bool seconds = false;
  bool year_first = false;
};

using Layout = std::vector<ColumnRule>;

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

ColumnRule digest_column(std::size_t width, std::size_t hex_digits, DigestKind kind) {
  ColumnRule rule = fixed_column(ColumnKind::kDigest, width);
  rule.hex_digits = hex_digits;
  rule.digest = kind;
  rule.label = digest_kind(kind).name;
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
  const bool year_first = !fixed_form && s.year_first_dates;
  const bool seconds = fixed_form || s.time_kind == '3' || s.time_seconds;
  std::string shape = year_first ? "9999/99/99" : "99/99/9999";
  shape += "D99:99";
  if (seconds) shape += ":99";
  shape += letter;
  ColumnRule rule =
      fixed_column(letter == 'a' ? ColumnKind::kAccessTime : ColumnKind::kTime, shape.size());
  rule.shape = shape;
  rule.stamp = letter;
  rule.seconds = seconds;
  rule.year_first = year_first;
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
  if (s.md5) layout.push_back(digest_column(s.name_width < 8 ? 32 : 40, 32, DigestKind::kMd5));
  if (s.sha1) layout.push_back(digest_column(40, 40, DigestKind::kSha1));
  if (s.crc32) layout.push_back(digest_column(40, 8, DigestKind::kCrc32));
  if (s.sha256) layout.push_back(digest_column(65, 64, DigestKind::kSha256));
  if (s.sha384) layout.push_back(digest_column(97, 96, DigestKind::kSha384));
  if (s.sha512) layout.push_back(digest_column(129, 128, DigestKind::kSha512));
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
  if (s.md5) return digest_column(40, 32, DigestKind::kMd5);
  if (s.crc32) return digest_column(40, 8, DigestKind::kCrc32);
  if (s.sha1) return digest_column(40, 40, DigestKind::kSha1);
  if (s.sha256) return digest_column(64, 64, DigestKind::kSha256);
  if (s.sha384) return digest_column(96, 96, DigestKind::kSha384);
  if (s.sha512) return digest_column(128, 128, DigestKind::kSha512);
  ColumnRule none = digest_column(40, 0, DigestKind::kMd5);
  none.label = "";
  return none;
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
  if (s.md5) layout.push_back(digest_column(40, 32, DigestKind::kMd5));
  if (s.crc32) layout.push_back(digest_column(40, 8, DigestKind::kCrc32));
  if (s.sha1) layout.push_back(digest_column(40, 40, DigestKind::kSha1));
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

bool is_upper_hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// A wide name column is mostly padding: it is stepped over a block of spaces at a time.
std::string without_trailing_spaces(std::string_view text) {
  constexpr std::string_view kBlock = "                ";
  std::size_t end = text.size();
  while (end >= kBlock.size() && text.substr(end - kBlock.size(), kBlock.size()) == kBlock) {
    end -= kBlock.size();
  }
  while (end > 0 && text[end - 1] == ' ') --end;
  return std::string(text.substr(0, end));
}

int number_at(std::string_view text, std::size_t at, std::size_t digits) {
  int value = 0;
  for (std::size_t i = at; i < at + digits && i < text.size(); ++i)
    value = value * 10 + (text[i] - '0');
  return value;
}

// The fields of a time column, read by its shape: the date (month first or year first), the
// delimiter, hours, minutes and, where shown, seconds.
StampColumn stamp_column(std::string_view text, const Column& column) {
  StampColumn stamp;
  stamp.letter = column.stamp;
  stamp.seconds = column.seconds;
  Stamp& s = stamp.stamp;
  if (column.year_first) {
    s.year = number_at(text, 0, 4), s.month = number_at(text, 5, 2), s.day = number_at(text, 8, 2);
  } else {
    s.month = number_at(text, 0, 2), s.day = number_at(text, 3, 2), s.year = number_at(text, 6, 4);
  }
  s.hour = number_at(text, 11, 2);
  s.minute = number_at(text, 14, 2);
  if (column.seconds) s.second = number_at(text, 17, 2);
  return stamp;
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
    const ColumnRule& rule = layout_[k];
    out_->push_back({rule.kind, pos, length, rule.name_offset, rule.label, rule.stamp, rule.seconds,
                     rule.year_first});
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

// The layouts of the three forms, in the order file, file stream, directory stream.
struct RecordLayouts::Forms {
  Layout layouts[3];
  char delimiter = ' ';
  RecordFormat format = RecordFormat::kFixedWidth;
  std::vector<std::string> data_columns;

  bool split(const std::string& record, std::vector<Column>* columns) const {
    for (const Layout& layout : layouts) {
      columns->clear();
      if (Splitter(record, layout, delimiter, columns).from(0, 0)) return true;
    }
    return false;
  }
};

RecordLayouts::RecordLayouts(const Settings& settings, std::vector<std::string> columns)
    : forms_(std::make_unique<Forms>()) {
  forms_->layouts[0] = file_layout(settings);
  forms_->layouts[1] = file_stream_layout(settings);
  forms_->layouts[2] = directory_stream_layout(settings);
  forms_->delimiter = settings.delimiter;
  forms_->format = settings.record_format;
  forms_->data_columns = columns.empty() ? data_columns(settings) : std::move(columns);
}

RecordLayouts::~RecordLayouts() = default;

bool RecordLayouts::shows_times() const {
  if (forms_->format != RecordFormat::kFixedWidth) {
    const std::vector<std::string>& columns = forms_->data_columns;
    return std::find(columns.begin(), columns.end(), "creation") != columns.end() ||
           std::find(columns.begin(), columns.end(), "last_write") != columns.end();
  }
  const Layout& file = forms_->layouts[0];
  return std::any_of(file.begin(), file.end(),
                     [](const ColumnRule& rule) { return rule.kind == ColumnKind::kTime; });
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
  return RecordLayouts(settings).forms_->split(record, columns);
}

std::string record_name(const std::string& record, const std::vector<Column>& columns) {
  for (const Column& column : columns) {
    if (column.kind != ColumnKind::kName) continue;
    return without_trailing_spaces(std::string_view(record).substr(
        column.start + column.name_offset, column.length - 1 - column.name_offset));
  }
  return "";
}

bool is_digest_marker(const std::string& text) {
  return !text.empty() && !all_hex(text);
}

bool unescapes_cleanly(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') continue;
    if (i + 1 == text.size()) return false;
    const char kind = text[++i];
    if (kind == '\\' || kind == 'n' || kind == 't' || kind == 'r') continue;
    if (kind != 'x' || i + 2 >= text.size() || !is_upper_hex(text[i + 1]) ||
        !is_upper_hex(text[i + 2])) {
      return false;
    }
    i += 2;
  }
  return true;
}

namespace {

// The facts of `record` split into `columns`.
// Filled in place: a record read after another keeps the room the last one took.
void facts_of(const std::string& record, const std::vector<Column>& columns, RecordFacts* out) {
  RecordFacts& facts = *out;
  std::size_t digests = 0;
  facts.stamps.clear();
  facts.has_size = false;
  facts.has_short_name = false;
  facts.zone.clear();
  facts.short_name.clear();
  facts.name = record_name(record, columns);
  const std::string_view all(record);
  for (const Column& column : columns) {
    const std::string_view text = all.substr(column.start, column.length - 1);
    switch (column.kind) {
      case ColumnKind::kDigest:
        if (digests == facts.digests.size()) facts.digests.emplace_back();
        facts.digests[digests].kind = column.label;
        facts.digests[digests++].text = without_leading_spaces(text);
        break;
      case ColumnKind::kSize:
        facts.has_size = true;
        facts.size = std::strtoll(std::string(text).c_str(), nullptr, 10);
        break;
      case ColumnKind::kTime:
        facts.stamps.push_back(stamp_column(text, column));
        break;
      case ColumnKind::kZone:
        facts.zone = std::string(without_leading_spaces(text));
        break;
      case ColumnKind::kShortName:
        facts.has_short_name = true;
        facts.short_name = without_trailing_spaces(without_leading_spaces(text));
        break;
      default:
        break;
    }
  }
  facts.digests.resize(digests);
}

}  // namespace

namespace {

const Stamp& stamp_of(const FileTimes& times, char letter) {
  return letter == 'c' ? times.creation : times.last_write;
}

}  // namespace

void RecordLayouts::file_facts(const ShownValues& values, RecordFacts* out) const {
  RecordFacts& facts = *out;
  facts.digests.clear();
  facts.stamps.clear();
  facts.name = values.name;
  if (forms_->format != RecordFormat::kFixedWidth) return data_facts(values, out);
  for (const ColumnRule& rule : forms_->layouts[0]) {
    switch (rule.kind) {
      case ColumnKind::kDigest:
        facts.digests.push_back({rule.label, text_of(*values.digests, rule.digest)});
        break;
      case ColumnKind::kSize:
        facts.has_size = true;
        facts.size = values.size;
        break;
      case ColumnKind::kTime:
        facts.stamps.push_back({rule.stamp, stamp_of(*values.times, rule.stamp), rule.seconds});
        break;
      case ColumnKind::kZone:
        facts.zone = std::string(without_leading_spaces(values.zone));
        break;
      case ColumnKind::kShortName:
        facts.has_short_name = true;
        facts.short_name = without_trailing_spaces(without_leading_spaces(values.short_name));
        break;
      default:
        break;
    }
  }
}

// As a data record shows them: times as the instants they name, in UTC.
void RecordLayouts::data_facts(const ShownValues& values, RecordFacts* facts) const {
  facts->zone.clear();
  facts->has_size = false;
  facts->has_short_name = false;
  for (const std::string& column : forms_->data_columns) {
    DigestKind kind;
    if (digest_column_kind(column, &kind)) {
      facts->digests.push_back({digest_kind(kind).name, text_of(*values.digests, kind)});
    } else if (column == "size") {
      facts->has_size = true;
      facts->size = values.size;
    } else if (column == "creation" || column == "last_write") {
      const char letter = column == "creation" ? 'c' : 'w';
      facts->stamps.push_back({letter, stamp_of(*values.times, letter), true});
    } else if (column == "short_name") {
      facts->has_short_name = true;
      facts->short_name = values.short_name;
    }
  }
}

bool RecordLayouts::read(const std::string& line, RecordFacts* facts) const {
  if (forms_->format != RecordFormat::kFixedWidth) {
    return read_data_record(line, forms_->format, forms_->data_columns, facts);
  }
  std::vector<Column>& columns = columns_;
  if (!line.empty() && line[0] == '\\') {
    const std::string rest = line.substr(1);
    if (forms_->split(rest, &columns) && unescapes_cleanly(record_name(rest, columns))) {
      facts_of(rest, columns, facts);
      return true;
    }
  }
  if (!forms_->split(line, &columns)) return false;
  facts_of(line, columns, facts);
  return true;
}

bool read_record(const std::string& line, const Settings& settings, RecordFacts* facts) {
  return RecordLayouts(settings).read(line, facts);
}
