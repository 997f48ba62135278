// Points the output stream at a scratch file and the message stream at another for one test,
// and gives back what was written to them.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "run/output_stream.h"

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
  CapturedStreams() : saved_messages_(message_stream), messages_(std::tmpfile()) {
    char name[] = "/tmp/tallysum-output-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    path_ = name;
    use_output_file(native_platform().open_output(path_, OutputMode::kCreate, nullptr), path_);
    message_stream = messages_;
  }
  ~CapturedStreams() {
    finish_output();
    use_standard_output();
    message_stream = saved_messages_;
    std::fclose(messages_);
    unlink(path_.c_str());
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
  std::FILE* saved_messages_;
  std::FILE* messages_;
  std::string path_;
};
