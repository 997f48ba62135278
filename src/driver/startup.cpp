#include "driver/startup.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "config/completion.h"
#include "config/options.h"
#include "config/verify_request.h"
#include "digest/work_pool.h"
#include "driver/compare.h"
#include "driver/run_header.h"
#include "driver/verify.h"
#include "output/catalogue_digest.h"
#include "output/destinations.h"
#include "output/file_record.h"
#include "output/file_times.h"
#include "output/ordered_records.h"
#include "output/stream_record.h"
#include "platform/platform.h"
#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/termination.h"
#include "select/path_lists.h"
#include "select/walk.h"

namespace {

// The module name that the program's fixed failure messages print.
constexpr char kMainModule[] = "Tallysum";
constexpr char kBaseModule[] = "Base";
// Files and steps the walk may run ahead of the records, per worker: enough to keep every
// worker busy between the main thread's turns, and a fixed bound whatever the tree.
constexpr std::size_t kWindowPerWorker = 32;
// Workers by default where there is more than one processor: on a cold disk each waits for
// its file's open and first read, and more reads in flight than processors let the disk serve
// them in the order it likes. Over cached files the extra workers stay asleep: one joins only
// when the files handed on pile up (see OrderedRecordWriters).
constexpr int kDefaultReadsInFlight = 8;

// The main pass hands what it selects to the record writers.
class RecordWriters : public WalkSink {
 public:
  void file(const Directory& dir, const DirEntry& entry) override { write_file_record(dir, entry); }
  void directory_streams(const Directory& parent, const std::string& name, const std::string& path,
                         int n) override {
    list_directory_streams(n, parent, name, path);
  }
};

// The counting pass only counts: nothing is handed on.
class NothingHandedOn : public WalkSink {
 public:
  void file(const Directory&, const DirEntry&) override {}
  void directory_streams(const Directory&, const std::string&, const std::string&, int) override {}
};

// Argument 0 becomes the program's full path, so every echo of the command line names it.
std::vector<char*> replace_program_word(int argc, char** argv) {
  run.module_path = os().module_path();
  run.argv = os().arguments(argc, argv);
  if (run.argv.empty()) run.argv.push_back("");
  if (!run.module_path.empty()) run.argv[0] = run.module_path;
  std::vector<char*> words;
  for (std::string& word : run.argv) words.push_back(word.data());
  words.push_back(nullptr);
  return words;
}

void write_command_line_to_log() {
  if (settings.accounting_file == nullptr) return;
  std::string line;
  for (const std::string& word : run.argv) line += " " + word + " ";
  write_log(line + "\n");
}

// The separator appended and a drive letter upper-cased, as every walk expects its start.
std::string prepared_search_path(const std::string& path) {
  std::string dir = path;
  if (dir.empty() || dir.back() != kSeparator) dir += kSeparator;
  dir[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(dir[0])));
  return dir;
}

void counting_pass() {
  std::fputs("Counting files: ", message_stream);
  NothingHandedOn counter;
  walk_all_search_paths(counter);
  run.counting_pass = 0;
  if (settings.auto_width) settings.name_width = run.longest_path + 2;
  std::fprintf(message_stream, "\r%7ld files to process,  %s bytes\n",
               static_cast<long>(run.precount_files), format_thousands(run.precount_bytes).c_str());
}

// How long the end of a run waits for the workers to finish the piece they are reading.
constexpr std::chrono::milliseconds kWorkersRestLimit{5000};

// Never destroyed: the run ends through std::exit, possibly while a worker still reads.
WorkPool* started_workers = nullptr;

void bring_workers_to_rest() {
  started_workers->come_to_rest(kWorkersRestLimit);
}

// The run's workers, or nullptr when the system would start none.
WorkPool* start_workers(int jobs) {
  started_workers = new WorkPool(jobs);
  if (started_workers->size() == 0) {
    std::fputs("No worker thread could be started: files are read one at a time\n", message_stream);
    return nullptr;
  }
  // Runs when the process ends (every end of a run goes through std::exit), before the
  // state the workers use is destroyed.
  std::atexit(bring_workers_to_rest);
  return started_workers;
}

// One file at a time on this thread, or, with more than one job, the files of a window read
// by workers and their records written here in walk order.
void main_pass() {
  WorkPool* workers = run_workers();
  if (workers == nullptr) {
    RecordWriters writers;
    walk_all_search_paths(writers);
    return;
  }
  // Never destroyed, as the workers.
  static OrderedRecordWriters* writers =
      new OrderedRecordWriters(*workers, ordered_window(*workers));
  walk_all_search_paths(*writers);
  writers->finish();
}

[[noreturn]] void run_all(int argc, char** argv) {
  std::vector<char*> words = replace_program_word(argc, argv);
  create_settings();
  counters = RunCounters{};
  // Before any file is opened, so that none can take the place of a closed standard stream.
  os().secure_standard_streams();
  std::setvbuf(stdin, nullptr, _IONBF, 0);
  os().install_interrupt_handler();
  // A verification reads nothing of the environment: RESET and SILENT must not shape it.
  VerifyRequest verify;
  const bool verifying = verify_requested(static_cast<int>(run.argv.size()), words.data(), &verify);
  if (!verifying) apply_environment();
  os().set_file_apis_ansi();
  counters.start_time = os().now_seconds();
  make_zone_abbreviation();

  apply_defaults();
  use_standard_output();
  message_stream = stderr;
  run.progress_on_terminal = os().stderr_is_terminal();
  if (verifying && verify.compare) run_compare(verify);
  if (verifying) run_verify(verify);

  parse_command_line(static_cast<int>(run.argv.size()), words.data());
  write_command_line_to_log();
  open_output_and_complete();
  // Nothing has been written yet; a non-zero status keeps a script from taking this for a
  // completed run.
  if (!write_run_header()) end_run_at_once(kOtherExit);

  prepare_search();

  if (settings.immediate == 0 && settings.output_target != 0) {
    counting_pass();
  } else {
    settings.auto_width = 0;
  }
  run.counting_pass = 0;
  if (settings.output_target != 0 && continuation_active()) set_up_disk_capacity();
  if (settings.accounting_file != nullptr && !settings.search_paths.empty()) {
    write_log(" " + settings.search_paths[0] + "\n");
  }
  main_pass();
  terminate_run(kNormalExit);
}

}  // namespace

void prepare_search() {
  if (settings.file_patterns.empty()) add_file_pattern("*.*");
  if (settings.search_paths.empty()) add_search_path(os().current_directory());
  run.record_width = compute_record_width();
  counters.record_length = estimate_record_length();
  run.volume_kind = settings.search_paths.empty() ? 1 : os().volume_kind(settings.search_paths[0]);
}

void walk_all_search_paths(WalkSink& sink) {
  for (std::size_t i = 0; i < settings.search_paths.size(); ++i) {
    walk_directory(prepared_search_path(settings.search_paths[i]), sink);
  }
}

WorkPool* run_workers() {
  const int processors = processor_count();
  const int jobs = settings.jobs != 0 ? settings.jobs
                   : processors > 1   ? std::max(processors, kDefaultReadsInFlight)
                                      : 1;
  if (jobs <= 1) return nullptr;
  static WorkPool* workers = start_workers(jobs);
  return workers;
}

std::size_t ordered_window(const WorkPool& workers) {
  return kWindowPerWorker * static_cast<std::size_t>(workers.size());
}

[[noreturn]] void run_program(int argc, char** argv) {
  try {
    run_all(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "\nSource File %s, Line #: %d,  memory error", kBaseModule, __LINE__);
    terminate_run(kInsufficientMemory);
  }
}

void open_output_and_complete() {
  if (settings.output_target == 1) {
    std::string why;
    OutputHandle file = open_output_file(settings.output_path, settings.append_output != 0, &why);
    if (file == nullptr) {
      std::fprintf(stderr,
                   settings.append_output ? "\ncan't open output file %s\n"
                                          : "\ncan't create output file %s\n",
                   settings.output_path.c_str());
      std::fprintf(stderr, "FILE: %s, LINE %d\n", kMainModule, __LINE__);
      if (!why.empty()) std::fprintf(stderr, "%s\n", why.c_str());
      // Not 0: nothing was listed, and 0 would report that failure as success to every
      // script that calls the program.
      end_run_at_once(kOutputFile);
    }
    use_output_file(file, settings.output_path);
    describe_output_files_with(catalogue_digest_lines);
  }
  complete_settings();
}

int compute_record_width() {
  int w = settings.name_only ? settings.name_only_width : settings.name_width;
  return w + 40;
}

int estimate_record_length() {
  int w = settings.name_only ? settings.name_only_width : settings.name_width;
  int length = w + 44;
  if (settings.comment_given == 1) length += static_cast<int>(settings.comment_text.size());
  if (settings.path_only) {
    length += 12;
    if (settings.time_kind == '3') {
      length += 58;
    } else if (settings.show_times) {
      length += 22;
    }
  }
  return length;
}
