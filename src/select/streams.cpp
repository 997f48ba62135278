#include "select/streams.h"

#include <cstdio>

#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/termination.h"
#include "run/text_format.h"

std::vector<StreamEntry> stream_table;

namespace {

// Source module name that the messages print.
constexpr char kEnumerationModule[] = "Streamfun";

struct PrivilegeMessage {
  int line;
  const char* format;
};
// Indexed by PrivilegeStep.
constexpr PrivilegeMessage kPrivilegeMessages[] = {
    {224, "\n%d %s Token open error"},
    {233, "\n%d %s Privilege error"},
    {240, "\n%d %s LookupPrivilegeValue error"},
};
constexpr char kPrivilegeAdvice[] = "\nTry using the -S option and rerun program\n\n";

bool is_named(const StreamEntry& entry) {
  return stream_path_suffix(entry.name).size() > 1;
}

}  // namespace

[[noreturn]] void report_privilege_failure(PrivilegeStep step) {
  const PrivilegeMessage& message = kPrivilegeMessages[step];
  std::string text;
  append_format(&text, message.format, message.line, kEnumerationModule);
  write_stdout_message(text + kPrivilegeAdvice);
  flush_output();
  // Nothing was listed for the path that needed the privileges: a run ending here has failed
  // and must not report success to a calling script.
  end_run_at_once(kOtherExit);
}

void enable_backup_privileges() {
  // The platform reports only whether the privileges were obtained; opening the token is the
  // first step, so its message stands for a refusal.
  if (!os().enable_stream_privileges()) report_privilege_failure(kPrivilegeTokenOpen);
}

int count_streams(const Directory& dir, const std::string& name) {
  enable_backup_privileges();
  stream_table.clear();
  std::vector<StreamEntry> found;
  if (!os().list_streams(dir, name, &found)) return 0;
  for (StreamEntry& entry : found) {
    if (is_named(entry)) stream_table.push_back(std::move(entry));
  }
  return static_cast<int>(stream_table.size());
}

std::string stream_path_suffix(const std::string& stream_name) {
  std::string name = stream_name;
  if (name.empty() || name.front() != ':') name.insert(name.begin(), ':');
  std::size_t type_colon = name.rfind(':');
  if (type_colon == 0) return name;
  return name.substr(0, type_colon);
}

std::string stream_bare_name(const std::string& stream_name) {
  return stream_path_suffix(stream_name).substr(1);
}
