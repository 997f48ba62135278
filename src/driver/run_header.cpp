#include "driver/run_header.h"

#include <cstdio>
#include <string>

#include "output/data_record.h"
#include "output/file_times.h"
#include "platform/platform.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/text_format.h"

namespace {

// "(PST/PDT:8*)"; the asterisk marks a zone with a daylight rule and is simply absent
// otherwise.
void append_zone_note(std::string* out, const RunTimeTexts& texts) {
  if (texts.has_daylight) {
    append_format(out, "(%s/%s:%d%c)", texts.standard_abbreviation.c_str(),
                  texts.daylight_abbreviation.c_str(), texts.offset_hours, '*');
  } else {
    append_format(out, "(%s/%s:%d)", texts.standard_abbreviation.c_str(),
                  texts.daylight_abbreviation.c_str(), texts.offset_hours);
  }
}

void append_command_line(std::string* out) {
  for (const std::string& word : run.argv) append_format(out, "%s ", word.c_str());
}

std::string output_header(const RunTimeTexts& texts) {
  std::string out = "\nStarted ";
  if (!texts.standard_name.empty()) {
    append_format(&out, "%s GMT, ", texts.gmt_text.c_str());
  } else {
    append_format(&out, "%s ", texts.local_text.c_str());
  }
  append_format(&out, "%.5s %s ", texts.local_text.c_str() + 11, texts.standard_name.c_str());
  append_zone_note(&out, texts);
  out += "\n";
  // Scripts read what the console shows, with or without -o stdout: only a file names its run.
  if (!output_is_stdout()) append_command_line(&out);
  out += "\n\n";
  return out;
}

std::string log_header(const RunTimeTexts& texts) {
  std::string out = "\nStarted ";
  if (!texts.standard_name.empty()) {
    append_format(&out, "%s GMT, ", texts.gmt_text.c_str());
    append_format(&out, "%.5s %s ", texts.local_text.c_str() + 11, texts.standard_name.c_str());
    append_zone_note(&out, texts);
  } else {
    append_format(&out, "%s Local Time: ", texts.local_text.c_str());
  }
  out += "\n";
  append_command_line(&out);
  out += "\n";
  return out;
}

// A run appending to a file that already holds records adds no second header row.
bool continues_data_file() {
  DirEntry facts;
  return settings.output_target == 1 && settings.append_output != 0 &&
         os().path_facts(settings.output_path, &facts) && facts.size > 0;
}

}  // namespace

bool write_run_header() {
  RunTimeTexts texts;
  if (!run_time_texts(&texts)) {
    std::fprintf(stderr, "\nCan't get timezone information\n");
    return false;
  }
  if (data_records()) {
    // The output holds data only: the run is described on the console and in the log.
    if (!continues_data_file()) write_output(data_header_row());
    if (!settings.silent && output_is_stdout()) write_message(output_header(texts));
    if (!settings.silent && settings.accounting_file != nullptr) write_log(log_header(texts));
    return true;
  }
  if (settings.silent) return true;
  write_output(output_header(texts));
  if (settings.accounting_file != nullptr) write_log(log_header(texts));
  return true;
}
