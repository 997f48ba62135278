#include "support/data_reader.h"

#include <cctype>
#include <cstdlib>

bool parse_csv(const std::string& text, std::vector<std::vector<std::string>>* rows) {
  rows->clear();
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  bool was_quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"', ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      if (!field.empty() || was_quoted) return false;
      quoted = was_quoted = true;
    } else if (c == ',' || c == '\n') {
      row.push_back(field), field.clear(), was_quoted = false;
      if (c == '\n') rows->push_back(row), row.clear();
    } else if (c != '\r') {
      if (was_quoted) return false;
      field += c;
    }
  }
  if (quoted) return false;
  if (!field.empty() || !row.empty()) row.push_back(field), rows->push_back(row);
  return true;
}

namespace {

void put_utf8(unsigned long code, std::string* out) {
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

bool read_string(const std::string& line, std::size_t* at, std::string* out) {
  if (*at >= line.size() || line[*at] != '"') return false;
  out->clear();
  for (std::size_t i = *at + 1; i < line.size(); ++i) {
    const char c = line[i];
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c == '"') {
      *at = i + 1;
      return true;
    }
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (++i >= line.size()) return false;
    const std::string simple = "\"\\/bfnrt";
    const std::string meant = "\"\\/\b\f\n\r\t";
    if (simple.find(line[i]) != std::string::npos) {
      *out += meant[simple.find(line[i])];
    } else if (line[i] == 'u' && i + 4 < line.size()) {
      put_utf8(std::strtoul(line.substr(i + 1, 4).c_str(), nullptr, 16), out);
      i += 4;
    } else {
      return false;
    }
  }
  return false;
}

}  // namespace

bool parse_json_object(const std::string& line, std::map<std::string, std::string>* fields) {
  fields->clear();
  std::size_t at = 0;
  if (line.empty() || line[at++] != '{') return false;
  while (at < line.size() && line[at] != '}') {
    if (!fields->empty() && line[at++] != ',') return false;
    std::string key;
    std::string value;
    if (!read_string(line, &at, &key) || at >= line.size() || line[at++] != ':') return false;
    if (at < line.size() && line[at] == '"') {
      if (!read_string(line, &at, &value)) return false;
    } else {
      const std::size_t end = line.find_first_of(",}", at);
      if (end == std::string::npos) return false;
      value = line.substr(at, end - at);
      at = end;
    }
    (*fields)[key] = value;
  }
  return at + 1 == line.size();
}
