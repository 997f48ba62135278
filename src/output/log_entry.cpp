#include "output/log_entry.h"

#include "output/catalogue_digest.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "run/text_format.h"
#include "select/path_lists.h"

namespace {

constexpr char kStarted[] = "Started ";
// "Started " and the 24 characters of the time; what follows differs between the catalogue's
// header and the log's where the zone has no name.
constexpr std::size_t kStartedLength = 8 + 24;
constexpr char kEntryEnd[] = "*****";
constexpr char kDigestLine[] = "  Catalogue SHA-256: ";

// What one entry of the log says.
struct Entry {
  std::string started;
  std::string command_line;
  std::vector<std::string> digests;
  bool has_started = false;
};

std::string last_component(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool names_file(const std::string& command_line, const std::string& file) {
  std::size_t start = 0;
  while (start <= command_line.size()) {
    std::size_t end = command_line.find(' ', start);
    if (end == std::string::npos) end = command_line.size();
    if (same_name(last_component(command_line.substr(start, end - start)), file)) return true;
    start = end + 1;
  }
  return false;
}

bool is_entry_of(const Entry& entry, const std::string& started, const std::string& file) {
  if (!entry.has_started || entry.digests.empty()) return false;
  if (!started.empty() &&
      entry.started.compare(0, kStartedLength, started, 0, kStartedLength) != 0) {
    return false;
  }
  return names_file(entry.command_line, file);
}

}  // namespace

const char* log_verdict_text(LogVerdict verdict) {
  switch (verdict) {
    case LogVerdict::kMatches:
      return "Catalogue matches its log entry";
    case LogVerdict::kAltered:
      return "Catalogue altered since it was written";
    case LogVerdict::kNoEntry:
      break;
  }
  return "No log entry for this catalogue";
}

bool check_against_log(const std::string& log_path, const std::string& started,
                       const std::vector<std::string>& paths, LogVerdict* verdict,
                       std::string* problem) {
  std::string text;
  std::string why;
  if (!read_text_file(log_path, &text, &why)) {
    const std::string shown = printable_text(log_path);
    *problem = "The log " + shown + " cannot be read" + (why.empty() ? "" : ": " + why);
    return false;
  }
  const std::string file = last_component(paths[0]);
  Entry entry;
  Entry found;
  bool any = false;
  bool after_started = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (after_started) entry.command_line = line;
    after_started = false;
    if (line.rfind(kStarted, 0) == 0 && !entry.has_started) {
      entry.started = line;
      entry.has_started = after_started = true;
    } else if (line.rfind(kDigestLine, 0) == 0) {
      entry.digests.push_back(line.substr(sizeof kDigestLine - 1));
    } else if (line.rfind(kEntryEnd, 0) == 0) {
      // The line of stars that ends an entry, or the one that begins the next.
      if (is_entry_of(entry, started, file)) found = entry, any = true;
      entry = Entry{};
    }
  }
  if (is_entry_of(entry, started, file)) found = entry, any = true;
  if (!any) {
    *verdict = LogVerdict::kNoEntry;
    return true;
  }
  bool same = found.digests.size() == paths.size();
  for (std::size_t i = 0; same && i < paths.size(); ++i) {
    same = file_sha256(paths[i]) == found.digests[i];
  }
  *verdict = same ? LogVerdict::kMatches : LogVerdict::kAltered;
  return true;
}
