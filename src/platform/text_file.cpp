#include "platform/text_file.h"

#include "platform/platform.h"

bool read_text_file(const std::string& path, std::string* text, std::string* error) {
  InputHandle input = os().open_path(path, error);
  if (input == nullptr) return false;
  text->clear();
  char buffer[1 << 16];
  long long got = 0;
  while ((got = os().read_input(input, buffer, sizeof buffer)) > 0) {
    text->append(buffer, static_cast<std::size_t>(got));
  }
  os().close_input(input);
  return got == 0;
}
