#include "output/catalogue_reader.h"

#include <algorithm>
#include <cctype>
#include <deque>

#include "output/data_catalogue.h"
#include "platform/platform.h"
#include "run/termination.h"
#include "run/text_format.h"

namespace {

constexpr char kStarted[] = "Started ";
constexpr char kAutoWidth[] = " AUTOWIDTH -Mw= ";
constexpr char kProcessed[] = " Processed ";
constexpr char kSeeContinuation[] = "See continuation disk";
constexpr std::size_t kPieceSize = 1 << 16;

bool starts_with(const std::string& text, const char* head) {
  return text.rfind(head, 0) == 0;
}

int read_auto_width(const std::string& line) {
  int width = 0;
  for (std::size_t i = sizeof kAutoWidth - 1;
       i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i) {
    width = std::min(width * 10 + (line[i] - '0'), 1 << 20);
  }
  return width;
}

// The line a full disk's file ends with, after the empty line that ends its records.
bool is_continuation_line(const std::string& line) {
  return starts_with(line, kProcessed) && line.find(kSeeContinuation) != std::string::npos;
}

std::string shown(const std::string& path) {
  return printable_text(path);
}

std::string cannot_open(const std::string& path, const std::string& why) {
  return shown(path) + " cannot be opened or read" + (why.empty() ? "" : ": " + why);
}

}  // namespace

// The lines of one file, read a piece at a time.
class CatalogueReader::Lines {
 public:
  ~Lines() {
    if (input_ != nullptr) os().close_input(input_);
  }
  // False with the system's reason in `why` when the file cannot be opened.
  bool open(const std::string& path, std::uint64_t offset, std::string* why) {
    input_ = os().open_path(path, why);
    if (input_ == nullptr) return false;
    offset_ = offset;
    return offset == 0 || os().seek_input(input_, offset);
  }
  // The next line without its line end; false at the end of the file or on a read error.
  bool next(std::string* line) {
    line->clear();
    for (;;) {
      const std::size_t end = buffer_.find('\n', at_);
      if (end != std::string::npos) {
        line->append(buffer_, at_, end - at_);
        offset_ += end + 1 - at_;
        at_ = end + 1;
        break;
      }
      line->append(buffer_, at_, std::string::npos);
      offset_ += buffer_.size() - at_;
      buffer_.clear();
      at_ = 0;
      if (!fill()) {
        if (line->empty()) return false;
        break;
      }
    }
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return true;
  }
  std::uint64_t offset() const { return offset_; }  // where the next line begins
  bool failed() const { return failed_; }

 private:
  bool fill() {
    if (ended_) return false;
    // A catalogue may be large: an interrupt is answered between its pieces.
    check_interrupt();
    buffer_.resize(kPieceSize);
    const long long got = os().read_input(input_, buffer_.data(), buffer_.size());
    buffer_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (got <= 0) {
      ended_ = true;
      failed_ = got < 0;
      return false;
    }
    return true;
  }

  InputHandle input_ = nullptr;
  std::string buffer_;
  std::size_t at_ = 0;
  std::uint64_t offset_ = 0;
  bool ended_ = false;
  bool failed_ = false;
};

CatalogueReader::CatalogueReader() = default;
CatalogueReader::~CatalogueReader() = default;

bool CatalogueReader::open(const std::vector<std::string>& paths, std::string* problem) {
  paths_ = paths;
  head_ = CatalogueHead{};
  if (paths_.empty()) {
    *problem = "no file was named";
    return false;
  }
  if (!prescan_first(problem)) return false;
  for (std::size_t i = 1; i < paths_.size(); ++i) {
    if (!prescan_continuation(i, problem)) return false;
  }
  return open_records(0, records_offset_, problem);
}

// Finds the last run's header and what its end says. A header is recognised only outside a
// run's records: a record that happens to begin like one is still a record.
bool CatalogueReader::prescan_first(std::string* problem) {
  Lines lines;
  std::string why;
  if (!lines.open(paths_[0], 0, &why)) {
    *problem = cannot_open(paths_[0], why);
    return false;
  }
  struct Seen {
    std::string text;
    std::size_t index = 0;
  };
  std::deque<Seen> window;  // the last four lines
  std::size_t index = 0;
  std::size_t first_outside = 0;  // where the stretch outside any run's records began
  bool in_records = false;
  bool after_run = false;  // the lines after a run's records, up to the next header
  bool ends_continued = false;
  std::string line;
  for (; lines.next(&line); ++index) {
    if (index == 0 && data_catalogue_start(line, &head_.format, &head_.columns)) {
      // Data only: no header, no runs, no summary, no continuation.
      records_offset_ = head_.format == RecordFormat::kCsv ? lines.offset() : 0;
      return true;
    }
    window.push_back({line, index});
    if (window.size() > 4) window.pop_front();
    if (in_records) {
      if (line.empty()) in_records = false, after_run = true, first_outside = index + 1;
      continue;
    }
    if (after_run && index == first_outside) ends_continued = is_continuation_line(line);
    if (after_run && starts_with(line, kAutoWidth)) head_.auto_width = read_auto_width(line);
    if (!line.empty() || window.size() < 3) continue;
    const Seen& started = window[window.size() - 3];
    const bool opens = started.index == 0 || (window.size() == 4 && window[0].text.empty());
    if (started.index < first_outside || !opens || !starts_with(started.text, kStarted)) continue;
    if (head_.has_header) head_.earlier_runs += 1;
    head_.has_header = true;
    head_.started_line = started.text;
    head_.command_line = window[window.size() - 2].text;
    head_.auto_width = 0;
    records_offset_ = lines.offset();
    in_records = true, after_run = false, ends_continued = false;
  }
  if (lines.failed()) {
    *problem = shown(paths_[0]) + " cannot be read";
    return false;
  }
  if (ends_continued != (paths_.size() > 1)) {
    *problem = ends_continued
                   ? shown(paths_[0]) + " goes on on another disk: name its file too"
                   : shown(paths_[0]) + " ends its run without going on to " + shown(paths_[1]);
    return false;
  }
  return true;
}

// A later disk's file: its records from its start, then the continuation line when yet
// another file follows; the last one may tell the adjusted name width.
bool CatalogueReader::prescan_continuation(std::size_t i, std::string* problem) {
  Lines lines;
  std::string why;
  if (!lines.open(paths_[i], 0, &why)) {
    *problem = cannot_open(paths_[i], why);
    return false;
  }
  std::string line;
  while (lines.next(&line) && !line.empty()) {
  }
  bool continued = false;
  for (bool first = true; lines.next(&line); first = false) {
    if (first) continued = is_continuation_line(line);
    if (starts_with(line, kAutoWidth)) head_.auto_width = read_auto_width(line);
  }
  if (lines.failed()) {
    *problem = shown(paths_[i]) + " cannot be read";
    return false;
  }
  const bool more = i + 1 < paths_.size();
  if (continued != more) {
    *problem = continued
                   ? shown(paths_[i]) + " goes on on another disk: name its file too"
                   : shown(paths_[i]) + " ends the run without going on to " + shown(paths_[i + 1]);
    return false;
  }
  return true;
}

bool CatalogueReader::open_records(std::size_t index, std::uint64_t offset, std::string* problem) {
  file_ = index;
  lines_ = std::make_unique<Lines>();
  std::string why;
  if (lines_->open(paths_[index], offset, &why)) return true;
  *problem = cannot_open(paths_[index], why);
  return false;
}

bool CatalogueReader::next_record(std::string* line, std::string* problem) {
  if (!next_line(line, problem)) return false;
  std::string more;
  while (head_.format == RecordFormat::kCsv && csv_record_open(*line)) {
    if (lines_ == nullptr || !lines_->next(&more)) {
      *problem = "its last record ends inside a quoted field";
      return false;
    }
    *line += "\n" + more;
  }
  return true;
}

bool CatalogueReader::next_line(std::string* line, std::string* problem) {
  while (lines_ != nullptr) {
    if (lines_->next(line) && !line->empty()) return true;
    if (lines_->failed()) {
      *problem = shown(paths_[file_]) + " cannot be read";
      lines_.reset();
      return false;
    }
    if (file_ + 1 >= paths_.size()) break;
    if (!open_records(file_ + 1, 0, problem)) {
      lines_.reset();
      return false;
    }
  }
  lines_.reset();
  return false;
}

std::vector<std::string> command_words(const std::string& command_line) {
  std::vector<std::string> words;
  std::size_t start = 0;
  for (;;) {
    std::size_t space = command_line.find(' ', start);
    if (space == std::string::npos) {
      if (start < command_line.size()) words.push_back(command_line.substr(start));
      return words;
    }
    words.push_back(command_line.substr(start, space - start));
    start = space + 1;
  }
}
