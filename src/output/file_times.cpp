#include "output/file_times.h"

#include "run/text_format.h"

std::string zone_abbreviation = "TZ0";

namespace {

// Initials for run_time_texts: the first three characters, the second and third replaced by
// the characters after the first and second space.
std::string initials_of(const std::string& name) {
  std::string initials = name.substr(0, 3);
  std::size_t space = name.find(' ');
  for (std::size_t slot = 1; slot < 3 && space != std::string::npos; ++slot) {
    if (space + 1 < name.size() && slot < initials.size()) initials[slot] = name[space + 1];
    space = name.find(' ', space + 1);
  }
  return initials;
}

}  // namespace

// The stamps time_kind selects, as their kind letters, in the order written. The two column
// layouts read 'W' and 'm' differently: the fixed layout takes 'm' for the write time and
// shows nothing for 'W'; the standard layout the reverse.
const char* selected_stamps(int kind, bool fixed) {
  switch (kind) {
    case '3':
      return "cwa";
    case 'c':
    case 'C':
      return "c";
    case 'w':
      return "w";
    case 'W':
      return fixed ? "" : "w";
    case 'm':
      return fixed ? "w" : "";
    case 'a':
    case 'A':
      return "a";
    default:
      return "";  // '0' and anything else
  }
}

int times_by_handle(const Directory& dir, const std::string& name, FileTimes* times, int zulu) {
  os().set_file_apis_ansi();
  DirEntry facts;
  if (os().entry_facts(dir, name, &facts) != Lookup::kFound) return 1;
  return convert_file_times(facts.creation, facts.last_access, facts.last_write, times, zulu);
}

void make_zone_abbreviation() {
  const std::string name = os().zone_info().standard_name;
  std::string abbreviation;
  if (name.size() > 1 && name.find(' ') != std::string::npos) {
    abbreviation += name[0];
    for (std::size_t i = 0; i + 1 < name.size(); ++i) {
      if (name[i] == ' ') abbreviation += name[i + 1];
    }
  } else {
    abbreviation = name.substr(0, 3);
  }
  abbreviation = upper_case_ascii(abbreviation).substr(0, 3);
  zone_abbreviation = abbreviation.empty() ? "TZ0" : abbreviation;
}

bool run_time_texts(RunTimeTexts* texts) {
  const ZoneInfo zone = os().zone_info();
  const std::int64_t now = os().now_seconds();
  texts->local_text = time_text(now, true);
  texts->gmt_text = time_text(now, false);
  if (texts->local_text.empty() || texts->gmt_text.empty()) return false;
  texts->offset_hours = static_cast<int>(zone.offset_seconds / 3600);
  texts->standard_abbreviation = upper_case_ascii(initials_of(zone.standard_name));
  texts->standard_name = zone.standard_name;
  texts->daylight_abbreviation.clear();
  if (zone.has_daylight && !zone.daylight_name.empty()) {
    texts->has_daylight = 1;
    texts->daylight_name = zone.daylight_name;
    texts->daylight_abbreviation = initials_of(zone.daylight_name);
  }
  return true;
}
