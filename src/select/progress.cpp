#include "select/progress.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "run/output_stream.h"
#include "run/run_state.h"
#include "run/settings.h"
#include "run/text_format.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kProgressDirectoryWidth = 60;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// What is on the line now, so that erasing removes exactly that. Directories never nest here:
// a directory's progress goes up only after everything below it is done.
struct ProgressShown {
  int count_chars = 0;
  int dir_chars = 0;
  int read_chars = 0;  // a large file's part, after the directory's
  bool reading = false;
  Clock::time_point drawn;
};
ProgressShown shown;
Clock::time_point pass_started;
bool pass_timed = false;

bool on_terminal() {
  return settings.output_target != 0 && run.progress_on_terminal;
}

int percent(std::uint64_t part, std::uint64_t whole) {
  if (whole == 0) return 100;
  return static_cast<int>(std::min<std::uint64_t>(part, whole) * 100 / whole);
}

// H:MM:SS.
std::string duration_text(std::int64_t seconds) {
  std::string text;
  append_format(&text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

// The run's share done and the time left, from the counting pass's total and the pace since
// the main pass began; empty without a counting pass.
std::string run_share(std::uint64_t reached) {
  if (run.precount_bytes <= 0) return "";
  const auto total = static_cast<std::uint64_t>(run.precount_bytes);
  const std::uint64_t done = static_cast<std::uint64_t>(counters.byte_total) + reached;
  std::string text;
  append_format(&text, ", run %d%%", percent(done, total));
  const double elapsed = std::chrono::duration<double>(Clock::now() - pass_started).count();
  if (done > 0 && done < total && elapsed >= 1) {
    const double left = elapsed * static_cast<double>(total - done) / static_cast<double>(done);
    text += ", " + duration_text(static_cast<std::int64_t>(left)) + " left";
  }
  return text;
}

}  // namespace

bool progress_drawn() {
  return on_terminal() && run.counting_pass == 0;
}

// The count is read when the step runs: the files written so far, in walk order. The
// counting pass shows its directories too, without a count.
void show_progress(const std::string& path) {
  shown = ProgressShown{};
  if (!on_terminal()) return;
  if (!pass_timed && run.counting_pass == 0) {
    pass_started = Clock::now();
    pass_timed = true;
  }
  if (settings.immediate == 0 && settings.silent == 0 && run.counting_pass == 0) {
    shown.count_chars =
        std::fprintf(message_stream, " %6ld ", static_cast<long>(counters.file_count));
  }
  // A name reaching a terminal raw could set its title or clear its screen.
  shown.dir_chars =
      std::fprintf(message_stream, "%.*s ", kProgressDirectoryWidth, printable_text(path).c_str());
}

void erase_shown_progress() {
  erase_read_progress();
  erase_progress(shown.dir_chars);
  erase_progress(shown.count_chars);
  shown = ProgressShown{};
}

void show_read_progress(std::uint64_t reached, std::uint64_t size) {
  if (!progress_drawn()) return;
  const Clock::time_point now = Clock::now();
  if (shown.reading && now - shown.drawn < kRedrawInterval) return;
  erase_progress(shown.read_chars);
  std::string text = format_thousands(static_cast<std::int64_t>(reached)) + " of " +
                     format_thousands(static_cast<std::int64_t>(size)) + " bytes";
  append_format(&text, " %d%%", percent(reached, size));
  text += run_share(reached) + " ";
  std::fputs(text.c_str(), message_stream);
  shown.read_chars = static_cast<int>(text.size());
  shown.reading = true;
  shown.drawn = now;
}

void erase_read_progress() {
  erase_progress(shown.read_chars);
  shown.read_chars = 0;
  shown.reading = false;
}

void erase_progress(int n) {
  if (n <= 0) return;
  std::string text(static_cast<std::size_t>(n), '\b');
  text.append(static_cast<std::size_t>(n), ' ');
  text.append(static_cast<std::size_t>(n), '\b');
  std::fputs(text.c_str(), message_stream);
}
