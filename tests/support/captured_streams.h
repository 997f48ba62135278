// Points the output and message streams at scratch files for one test and gives back what
// was written to them.
#pragma once

#include <cstdio>
#include <string>

#include "output/destinations.h"

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
      : saved_output_(output_stream),
        saved_messages_(message_stream),
        output_(std::tmpfile()),
        messages_(std::tmpfile()) {
    output_stream = output_;
    message_stream = messages_;
  }
  ~CapturedStreams() {
    output_stream = saved_output_;
    message_stream = saved_messages_;
    std::fclose(output_);
    std::fclose(messages_);
  }
  CapturedStreams(const CapturedStreams&) = delete;
  CapturedStreams& operator=(const CapturedStreams&) = delete;

  std::string output() const { return stream_text(output_); }
  std::string messages() const { return stream_text(messages_); }

 private:
  std::FILE* saved_output_;
  std::FILE* saved_messages_;
  std::FILE* output_;
  std::FILE* messages_;
};
