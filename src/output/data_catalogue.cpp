#include "output/data_catalogue.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "digest/digest_kinds.h"
#include "output/data_record.h"

namespace {

constexpr const char* kPlainColumns[] = {"name",       "stream",      "size",      "creation",
                                         "last_write", "last_access", "short_name"};

bool known_column(const std::string& column) {
  DigestKind kind;
  return digest_column_kind(column, &kind) ||
         std::find(std::begin(kPlainColumns), std::end(kPlainColumns), column) !=
             std::end(kPlainColumns);
}

bool has(const std::vector<std::string>& columns, const char* name) {
  return std::find(columns.begin(), columns.end(), name) != columns.end();
}

// The fields of a CSV record, quotes taken off; false for a quote out of place.
bool split_csv(const std::string& text, std::vector<std::string>* fields) {
  fields->assign(1, "");
  bool quoted = false;
  bool closed = false;  // the field's closing quote was met
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      fields->back() += '"', ++i;
    } else if (c == '"') {
      if (!quoted && (closed || !fields->back().empty())) return false;
      closed = quoted;
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields->emplace_back(), closed = false;
    } else if (closed) {
      return false;
    } else {
      fields->back() += c;
    }
  }
  return !quoted;
}

void append_utf8(unsigned long code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A JSON string at `at`, which is left after its closing quote. The writer gives a byte it
// cannot write as UTF-8 as \u0080 to \u00FF; such a character is read back as that byte.
bool json_text(const std::string& line, std::size_t* at, std::string* out) {
  if (*at >= line.size() || line[*at] != '"') return false;
  out->clear();
  for (std::size_t i = *at + 1; i < line.size(); ++i) {
    if (line[i] == '"') {
      *at = i + 1;
      return true;
    }
    if (line[i] != '\\') {
      *out += line[i];
      continue;
    }
    if (++i >= line.size()) return false;
    const std::string simple = "\"\\/bfnrt";
    const std::size_t which = simple.find(line[i]);
    if (which != std::string::npos) {
      *out += "\"\\/\b\f\n\r\t"[which];
    } else if (line[i] == 'u' && i + 4 < line.size()) {
      const unsigned long code = std::strtoul(line.substr(i + 1, 4).c_str(), nullptr, 16);
      if (code >= 0x80 && code <= 0xFF) {
        *out += static_cast<char>(code);
      } else {
        append_utf8(code, out);
      }
      i += 4;
    } else {
      return false;
    }
  }
  return false;
}

// A flat JSON object: keys to values, a string's without its quotes, a number or null as
// written.
bool json_fields(const std::string& line, std::map<std::string, std::string>* fields,
                 std::vector<std::string>* keys) {
  std::size_t at = 0;
  if (line.empty() || line[at++] != '{') return false;
  while (at < line.size() && line[at] != '}') {
    if (!keys->empty() && line[at++] != ',') return false;
    std::string key;
    std::string value;
    if (!json_text(line, &at, &key) || at >= line.size() || line[at++] != ':') return false;
    if (at < line.size() && line[at] == '"') {
      if (!json_text(line, &at, &value)) return false;
    } else {
      const std::size_t end = line.find_first_of(",}", at);
      if (end == std::string::npos) return false;
      value = line.substr(at, end - at);
      if (value == "null") value.clear();
      at = end;
    }
    keys->push_back(key);
    (*fields)[key] = value;
  }
  return at + 1 == line.size();
}

bool all_digits(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A time column's stamp; an empty one is the unset time, as a record of a time never set
// shows it.
bool stamp_of(const std::string& text, char letter, StampColumn* stamp) {
  stamp->letter = letter;
  stamp->seconds = true;
  stamp->stamp = Stamp{};
  if (text.empty()) {
    stamp->stamp.year = 1980;
    return true;
  }
  return read_iso_time(text, &stamp->stamp);
}

bool facts_of(const std::map<std::string, std::string>& fields, RecordFacts* facts) {
  auto value = [&fields](const char* key) {
    auto found = fields.find(key);
    return found == fields.end() ? std::string() : found->second;
  };
  *facts = RecordFacts{};
  facts->name = value("name");
  if (facts->name.empty()) return false;
  const std::string stream = value("stream");
  if (!stream.empty()) facts->name.append(":").append(stream);
  for (DigestKind kind : kAllDigestKinds) {
    for (const auto& [column, text] : fields) {
      DigestKind named;
      if (digest_column_kind(column, &named) && named == kind) {
        facts->digests.push_back({digest_kind(kind).name, text});
      }
    }
  }
  if (fields.count("size") != 0) {
    if (!all_digits(value("size"))) return false;
    facts->has_size = true;
    facts->size = std::strtoll(value("size").c_str(), nullptr, 10);
  }
  for (const auto& [column, letter] : {std::pair{"creation", 'c'}, std::pair{"last_write", 'w'}}) {
    if (fields.count(column) == 0) continue;
    StampColumn stamp;
    if (!stamp_of(value(column), letter, &stamp)) return false;
    facts->stamps.push_back(stamp);
  }
  facts->has_short_name = fields.count("short_name") != 0;
  facts->short_name = value("short_name");
  return true;
}

}  // namespace

bool data_catalogue_start(const std::string& line, RecordFormat* format,
                          std::vector<std::string>* columns) {
  columns->clear();
  if (line.rfind("{\"name\":", 0) == 0) {
    std::map<std::string, std::string> fields;
    if (!json_fields(line, &fields, columns)) return false;
    *format = RecordFormat::kJson;
    return true;
  }
  if (line.rfind("name", 0) != 0 || !split_csv(line, columns) || (*columns)[0] != "name") {
    return false;
  }
  *format = RecordFormat::kCsv;
  return std::all_of(columns->begin(), columns->end(), known_column);
}

bool csv_record_open(const std::string& text) {
  return std::count(text.begin(), text.end(), '"') % 2 != 0;
}

bool read_data_record(const std::string& text, RecordFormat format,
                      const std::vector<std::string>& columns, RecordFacts* facts) {
  std::map<std::string, std::string> fields;
  if (format == RecordFormat::kJson) {
    std::vector<std::string> keys;
    return json_fields(text, &fields, &keys) && facts_of(fields, facts);
  }
  std::vector<std::string> values;
  if (!split_csv(text, &values) || values.size() != columns.size()) return false;
  for (std::size_t i = 0; i < columns.size(); ++i) fields[columns[i]] = values[i];
  return facts_of(fields, facts);
}

void settings_from_columns(const std::vector<std::string>& columns, RecordFormat format,
                           Settings* s) {
  s->record_format = format;
  DigestKind kind;
  int* flags[] = {&s->md5, &s->sha1, &s->crc32, &s->sha256, &s->sha384, &s->sha512};
  for (std::size_t i = 0; i < kDigestKindCount; ++i) {
    *flags[i] = std::any_of(columns.begin(), columns.end(), [&](const std::string& column) {
      return digest_column_kind(column, &kind) && kind == kAllDigestKinds[i];
    });
  }
  const bool c = has(columns, "creation");
  const bool w = has(columns, "last_write");
  const bool a = has(columns, "last_access");
  if (c || w || a) {
    s->show_times = 1;
    s->path_only = 0;
    s->time_kind = c && w && a ? '3' : c ? 'c' : a ? 'a' : 'w';
  }
  s->streams = has(columns, "stream");
  s->dos_name = has(columns, "short_name");
}
