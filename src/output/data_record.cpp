#include "output/data_record.h"

#include "output/file_record.h"
#include "output/file_times.h"
#include "run/settings.h"
#include "run/text_format.h"

namespace {

struct DigestColumnName {
  DigestKind kind;
  const char* name;
};
constexpr DigestColumnName kDigestColumns[] = {
    {DigestKind::kMd5, "md5"},       {DigestKind::kSha1, "sha1"},
    {DigestKind::kCrc32, "crc32"},   {DigestKind::kSha256, "sha256"},
    {DigestKind::kSha384, "sha384"}, {DigestKind::kSha512, "sha512"},
};

const char* stamp_column(char letter) {
  return letter == 'c' ? "creation" : letter == 'w' ? "last_write" : "last_access";
}

FileTime raw_stamp(const FileTimes& times, char letter) {
  return letter == 'c'   ? times.raw_creation
         : letter == 'w' ? times.raw_last_write
                         : times.raw_last_access;
}

std::int64_t calendar_seconds(const CalendarTime& t) {
  return stamp_seconds(Stamp{t.month, t.day, t.year, t.hour, t.minute, t.second});
}

// Whether `text` holds a whole UTF-8 sequence at `at`; its length in `length`.
bool utf8_sequence(const std::string& text, std::size_t at, std::size_t* length) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (n == 0 || at + n > text.size()) return false;
  for (std::size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return false;
  }
  *length = n;
  return true;
}

void append_json_value(std::string* out, const std::string& key, const std::string& value,
                       bool quoted) {
  *out += out->size() == 1 ? "" : ",";
  *out += json_string(key) + ":" + (quoted ? json_string(value) : value);
}

}  // namespace

bool data_records() {
  return settings.record_format != RecordFormat::kFixedWidth;
}

std::vector<std::string> data_columns() {
  return data_columns(settings);
}

std::vector<std::string> data_columns(const Settings& s) {
  std::vector<std::string> columns{"name"};
  if (s.streams) columns.push_back("stream");
  const DigestRequest kinds = file_digest_request(s);
  for (const DigestColumnName& digest : kDigestColumns) {
    if (wants(kinds, digest.kind)) columns.push_back(digest.name);
  }
  columns.push_back("size");
  if (s.path_only) return columns;
  for (const char* letter = selected_stamps(s.time_kind, false); *letter; ++letter) {
    columns.push_back(stamp_column(*letter));
  }
  if (s.dos_name) columns.push_back("short_name");
  return columns;
}

bool digest_column_kind(const std::string& column, DigestKind* kind) {
  for (const DigestColumnName& digest : kDigestColumns) {
    if (column == digest.name) {
      *kind = digest.kind;
      return true;
    }
  }
  return false;
}

std::string data_header_row() {
  if (settings.record_format != RecordFormat::kCsv) return "";
  std::string row;
  for (const std::string& column : data_columns()) row += (row.empty() ? "" : ",") + column;
  return row + "\n";
}

std::string data_record(const DataFields& fields) {
  const bool csv = settings.record_format == RecordFormat::kCsv;
  std::string out = csv ? "" : "{";
  bool first = true;
  // A value of JSON is quoted unless it is a number or null; CSV leaves an empty field.
  auto add = [&](const std::string& key, const std::string& value, bool quoted) {
    if (csv) {
      if (!first) out += ',';
      out += csv_field(value);
    } else if (!(key == "stream" && value.empty())) {
      append_json_value(&out, key, quoted || !value.empty() ? value : "null", quoted);
    }
    first = false;
  };
  add("name", fields.name, true);
  if (settings.streams) add("stream", fields.stream, true);
  const DigestRequest kinds = file_digest_request();
  for (const DigestColumnName& digest : kDigestColumns) {
    if (wants(kinds, digest.kind)) add(digest.name, text_of(*fields.digests, digest.kind), true);
  }
  add("size", std::to_string(fields.size), false);
  if (!settings.path_only) {
    for (const char* letter = selected_stamps(settings.time_kind, false); *letter; ++letter) {
      const std::string time = iso_time(raw_stamp(*fields.times, *letter), settings.zulu != 0);
      add(stamp_column(*letter), time, !time.empty());
    }
    if (settings.dos_name) add("short_name", fields.short_name, true);
  }
  return csv ? out : out + "}";
}

std::string iso_time(FileTime raw, bool zulu) {
  const std::int64_t seconds = static_cast<std::int64_t>(raw / kFileTimeTicksPerSecond) -
                               static_cast<std::int64_t>(kEpochDifferenceSeconds);
  CalendarTime shown;
  CalendarTime utc;
  if (raw == 0 || !os().to_calendar(seconds, !zulu, &shown) ||
      !os().to_calendar(seconds, false, &utc)) {
    return "";
  }
  const std::int64_t offset = calendar_seconds(shown) - calendar_seconds(utc);
  const std::int64_t minutes = (offset < 0 ? -offset : offset) / 60;
  std::string text;
  append_format(&text, "%04d-%02d-%02dT%02d:%02d:%02d.%07u%c%02d:%02d", shown.year, shown.month,
                shown.day, shown.hour, shown.minute, shown.second,
                static_cast<unsigned>(raw % kFileTimeTicksPerSecond), offset < 0 ? '-' : '+',
                static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
  return text;
}

bool read_iso_time(const std::string& text, Stamp* utc) {
  // 2005-10-20T14:03:07.1234567-04:00: the fields by position, the fraction of any length.
  const std::size_t zone = text.find_first_of("+-Z", 19);
  if (text.size() < 20 || zone == std::string::npos || text[4] != '-' || text[10] != 'T') {
    return false;
  }
  auto number = [&text](std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
      if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  const int fields[] = {number(0, 4),  number(5, 2),  number(8, 2),
                        number(11, 2), number(14, 2), number(17, 2)};
  int offset = 0;
  if (text[zone] != 'Z') {
    const int hours = number(zone + 1, 2);
    const int minutes = number(zone + 4, 2);
    if (hours < 0 || minutes < 0 || text.size() != zone + 6) return false;
    offset = (hours * 60 + minutes) * 60 * (text[zone] == '-' ? -1 : 1);
  }
  for (int field : fields) {
    if (field < 0) return false;
  }
  *utc = stamp_at(
      stamp_seconds(Stamp{fields[1], fields[2], fields[0], fields[3], fields[4], fields[5]}) -
      offset);
  return true;
}

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x80 && utf8_sequence(text, i, &length)) {
      out.append(text, i, length);
      i += length - 1;
    } else if (c < 0x20 || c >= 0x7F) {
      append_format(&out, "\\u%04x", c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}
