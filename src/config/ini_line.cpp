#include "config/ini_line.h"

#include <climits>
#include <cstdio>

#include "config/options.h"
#include "output/accounting_log.h"
#include "run/settings.h"
#include "run/text_format.h"
#include "select/path_lists.h"

namespace {

// clang-format off
enum class Key {
  kAcct, kAllHt, kAllTimes, kAppend, kAuto, kStream, kCrc, kSha, kHash, kDisplace,
  kDelimiter, kExclude, kFile, kPathOnly, kPath, kFdi, kImmediate, kNameOnly, kWidth,
  kDosName, kGreater, kLessThan, kOlder, kNewer, kMilitary, kOutput, kPause, kRecurse,
  kReset, kSilent, kTime, kZulu,
};

struct KeyName {
  const char* name;
  Key key;
};

// The order decides: the first name found anywhere in the line wins, so a name that holds
// another (PATHONLY holds PATH) comes first.
constexpr KeyName kKeyNames[] = {
    {"ACCT", Key::kAcct},           {"ACCTING", Key::kAcct},
    {"ALL_HT", Key::kAllHt},        {"ALL_TIMES", Key::kAllTimes},
    {"ALLTIMES", Key::kAllTimes},   {"APPEND", Key::kAppend},
    {"AUTO", Key::kAuto},           {"STREAM", Key::kStream},
    {"CRC", Key::kCrc},             {"SHA", Key::kSha},
    {"HASH", Key::kHash},           {"DISPLACE", Key::kDisplace},
    {"DELIMETER", Key::kDelimiter}, {"DELIMITER", Key::kDelimiter},
    {"EXCLUDE", Key::kExclude},     {"FILE", Key::kFile},
    {"PATHONLY", Key::kPathOnly},   {"PATH", Key::kPath},
    {"FDI", Key::kFdi},             {"NO_COUNT", Key::kImmediate},
    {"IMMEDIATE", Key::kImmediate}, {"NAMEONLY", Key::kNameOnly},
    {"WIDTH", Key::kWidth},         {"8.3", Key::kDosName},
    {"GREATER", Key::kGreater},     {"LESSTHAN", Key::kLessThan},
    {"OLDER", Key::kOlder},         {"YOUNGER", Key::kNewer},
    {"NEWER", Key::kNewer},         {"MILITARY", Key::kMilitary},
    {"OUTPUT", Key::kOutput},       {"PAUSE", Key::kPause},
    {"RECURSE", Key::kRecurse},     {"RESET", Key::kReset},
    {"SILENT", Key::kSilent},       {"TIME", Key::kTime},
    {"ZULU", Key::kZulu},
};
// clang-format on

// A setting line split at its first '='. `value` comes from the upper-cased line, `as_written`
// from the line as it stands, for the values that name files and directories.
struct Setting {
  const char* key_name = "";
  std::string upper;
  std::string value;
  std::string as_written;
};

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

bool switched_on(const std::string& value) {
  return contains(value, "ON") || contains(value, "YES");
}

bool switched_off(const std::string& value) {
  return contains(value, "OFF");
}

// Both tests are made, on first, then off, so a value holding both ends off.
void apply_switch(const std::string& value, int* field) {
  if (switched_on(value)) *field = 1;
  if (switched_off(value)) *field = 0;
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A decimal number after optional blanks and a sign, up to the first non-digit; 0 when no
// digit comes first. Values beyond the 32-bit range are held at its ends.
int parse_number(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  long long magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > 1LL + INT_MAX) magnitude = 1LL + INT_MAX;
  }
  long long number = negative ? -magnitude : magnitude;
  if (number > INT_MAX) return INT_MAX;
  return static_cast<int>(number);
}

std::string refusal(const char* key_name, const std::string& bound) {
  return std::string("Key ") + key_name + " needs a value " + bound;
}

// A name or pattern as it stands, without trailing blanks, which no one means as part of a
// name; empty when nothing else is left.
std::string name_value(const std::string& value) {
  std::size_t end = value.size();
  while (end > 0 && (value[end - 1] == ' ' || value[end - 1] == '\t')) --end;
  return value.substr(0, end);
}

void apply_accounting_file(const std::string& value, const std::string& as_written) {
  if (switched_off(value)) return;
  std::string path = name_value(as_written);
  if (path.empty()) return;
  if (settings.accounting_file != nullptr) {
    std::string note;
    append_format(&note, "Accounting file overridden by .ini file pointing to %s\n",
                  absolute_path(path).c_str());
    hand_over_accounting_log(note);
  }
  open_accounting_log(path);
}

void apply_all_hash_times(const std::string& value) {
  if (switched_on(value)) {
    settings.show_times = 1;
    settings.time_kind = '3';
    settings.all_hash_times = 1;
    settings.md5 = 1;
  }
  if (switched_off(value)) settings.all_hash_times = 0;
}

void apply_all_times(const std::string& value) {
  if (!switched_on(value)) return;
  settings.show_times = 1;
  settings.time_kind = '3';
}

void apply_exclude(const std::string& value) {
  std::string pattern = name_value(value);
  if (pattern.empty()) return;
  settings.exclude_given = 1;
  settings.exclude_patterns.push_back(pattern);
}

// The character is taken as it stands: "44" gives '4', not the character of code 44.
void apply_delimiter(const Setting& setting) {
  if (!switched_off(setting.value) && !setting.value.empty()) {
    settings.delimiter = setting.value[0];
  }
  if (contains(setting.upper, "EXCLUDE")) apply_exclude(setting.value);
}

void apply_output(const std::string& as_written) {
  std::string path = name_value(as_written);
  if (path.empty()) return;
  settings.output_target = 1;
  settings.output_path = absolute_path(path);
}

void apply_time(const std::string& value) {
  if (value.empty()) return;
  settings.show_times = 1;
  settings.time_kind = static_cast<unsigned char>(value[0]);
}

void apply_zulu(const std::string& value) {
  settings.show_times = 1;
  apply_switch(value, &settings.zulu);
}

void apply_fdi(const std::string& value) {
  if (switched_on(value)) settings.start_offset = 512;
  if (switched_off(value)) settings.start_offset = 0;
}

void apply_names(Key key, const Setting& setting) {
  const std::string& value = setting.value;
  switch (key) {
    case Key::kAcct:
      apply_accounting_file(value, setting.as_written);
      break;
    case Key::kDelimiter:
      apply_delimiter(setting);
      break;
    case Key::kExclude:
      apply_exclude(value);
      break;
    case Key::kFile:
      if (!name_value(value).empty()) add_file_pattern(name_value(value));
      break;
    case Key::kPath:
      if (!name_value(setting.as_written).empty()) add_search_path(name_value(setting.as_written));
      break;
    case Key::kOutput:
      apply_output(setting.as_written);
      break;
    case Key::kTime:
      apply_time(value);
      break;
    default:
      break;
  }
}

// A number beyond 64 bits is refused, like an option's: held at some other value it would
// answer another question than the one asked.
std::string apply_byte_counts(Key key, const Setting& setting) {
  if (key == Key::kDisplace && switched_off(setting.value)) {
    settings.start_offset = 0;
    return "";
  }
  const char* text = setting.value.c_str();
  bool read = false;
  if (key == Key::kDisplace) read = read_byte_offset(text, &settings.start_offset);
  if (key == Key::kGreater) read = read_size_limit(text, &settings.size_greater_than);
  if (key == Key::kLessThan) read = read_size_limit(text, &settings.size_less_than);
  if (!read) {
    return refusal(setting.key_name, "no greater than " + std::to_string(kLargestByteCount));
  }
  if (key == Key::kGreater) settings.size_greater = 1;
  if (key == Key::kLessThan) settings.size_less = 1;
  return "";
}

// A name column wider than any record can carry is refused, like an option's.
std::string apply_width(const std::string& value, const char* key_name) {
  int width = parse_number(value);
  if (width > kWidestNameColumn) {
    return refusal(key_name, "no greater than " + std::to_string(kWidestNameColumn));
  }
  settings.name_width = width;
  settings.width_mode += 1;
  return "";
}

void apply_numbers(Key key, const std::string& value) {
  switch (key) {
    case Key::kOlder:
      settings.date_filter = 1;
      settings.older_days = parse_number(value);
      break;
    case Key::kNewer:
      settings.date_filter = 1;
      settings.newer_days = parse_number(value);
      break;
    default:
      break;
  }
}

// The keys that only switch one field on or off.
struct SwitchKey {
  Key key;
  int Settings::*field;
};

// clang-format off
constexpr SwitchKey kSwitchKeys[] = {
    {Key::kAppend, &Settings::append_output},  {Key::kAuto, &Settings::auto_width},
    {Key::kStream, &Settings::streams},        {Key::kCrc, &Settings::crc32},
    {Key::kSha, &Settings::sha1},              {Key::kHash, &Settings::md5},
    {Key::kPathOnly, &Settings::path_only},    {Key::kImmediate, &Settings::immediate},
    {Key::kNameOnly, &Settings::name_only},    {Key::kDosName, &Settings::dos_name},
    {Key::kMilitary, &Settings::show_times},   {Key::kPause, &Settings::pause},
    {Key::kRecurse, &Settings::recurse},       {Key::kReset, &Settings::reset_access_time},
    {Key::kSilent, &Settings::silent},
};
// clang-format on

// The field a plain on/off key sets, or nullptr for a key with its own rule.
int* switch_field(Key key) {
  for (const SwitchKey& entry : kSwitchKeys) {
    if (entry.key == key) return &(settings.*entry.field);
  }
  return nullptr;
}

std::string apply_key(Key key, const Setting& setting) {
  if (int* field = switch_field(key)) {
    apply_switch(setting.value, field);
    return "";
  }
  switch (key) {
    case Key::kDisplace:
    case Key::kGreater:
    case Key::kLessThan:
      return apply_byte_counts(key, setting);
    case Key::kWidth:
      return apply_width(setting.value, setting.key_name);
    case Key::kAllHt:
      apply_all_hash_times(setting.value);
      break;
    case Key::kAllTimes:
      apply_all_times(setting.value);
      break;
    case Key::kFdi:
      apply_fdi(setting.value);
      break;
    case Key::kZulu:
      apply_zulu(setting.value);
      break;
    default:
      apply_names(key, setting);
      apply_numbers(key, setting.value);
      break;
  }
  return "";
}

const KeyName* find_key(const std::string& upper) {
  for (const KeyName& entry : kKeyNames) {
    if (contains(upper, entry.name)) return &entry;
  }
  return nullptr;
}

}  // namespace

std::string apply_configuration_line(const std::string& text) {
  // A NUL byte ends the line's text, as it ends a C string: no name can hold one.
  std::string line = text.substr(0, text.find('\0'));
  if (line.empty() || line[0] == ';' || line[0] == '[') return "";
  Setting setting;
  setting.upper = upper_case_ascii(line);
  const KeyName* key = find_key(setting.upper);
  std::size_t equals = line.find('=');
  if (key == nullptr || equals == std::string::npos) return "";
  setting.key_name = key->name;
  setting.value = setting.upper.substr(equals + 1);
  setting.as_written = line.substr(equals + 1);
  return apply_key(key->key, setting);
}
