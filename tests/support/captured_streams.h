// Points the output stream at a scratch file and the message stream at another for one test,
// and gives back what was written to them. Captures nest: an inner one takes the output over
// and gives it back to the outer one's file when it ends.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "run/output_stream.h"
#include "support/temp_dir.h"

inline std::string stream_text(std::FILE* stream) {
  std::fflush(stream);
  std::rewind(stream);
  std::string text;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, got);
  std::fseek(stream, 0, SEEK_END);  // later writes go on after what was read
  return text;
}

class CapturedStreams {
 public:
  CapturedStreams()
      : saved_messages_(message_stream), messages_(std::tmpfile()), outer_(innermost_) {
    path_ = scratch_.at("output");
    finish_output();  // the outer capture's file, if any, is closed rather than lost
    use_output_file(native_platform().open_output(path_, OutputMode::kCreate, nullptr), path_);
    message_stream = messages_;
    innermost_ = this;
  }
  ~CapturedStreams() {
    finish_output();
    if (outer_ != nullptr) {
      use_output_file(native_platform().open_output(outer_->path_, OutputMode::kAppend, nullptr),
                      outer_->path_);
    } else {
      use_standard_output();
    }
    innermost_ = outer_;
    message_stream = saved_messages_;
    std::fclose(messages_);
  }
  CapturedStreams(const CapturedStreams&) = delete;
  CapturedStreams& operator=(const CapturedStreams&) = delete;

  // Everything written to the output stream so far (what was gathered is written out first).
  std::string output() const {
    flush_output();
    std::FILE* file = std::fopen(path_.c_str(), "rb");
    if (file == nullptr) return "";
    std::string text = stream_text(file);
    std::fclose(file);
    return text;
  }
  std::string messages() const { return stream_text(messages_); }

 private:
  TempDir scratch_;  // made first, removed last
  std::FILE* saved_messages_;
  std::FILE* messages_;
  CapturedStreams* outer_;
  std::string path_;
  static inline CapturedStreams* innermost_ = nullptr;
};
