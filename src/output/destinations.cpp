#include "output/destinations.h"

#include <cstdlib>

#include "config/settings.h"
#include "driver/termination.h"

std::FILE* output_stream = stdout;
std::FILE* message_stream = stderr;
int disk_capacity = 0;
int records_on_disk = 0;

void write_output(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), output_stream) != text.size()) {
    std::fprintf(message_stream, "\nError writing output file %s\n",
                 output_is_stdout() ? "(standard output)" : settings.output_path.c_str());
    terminate_run(8);
  }
}

bool output_is_stdout() { return output_stream == stdout; }

std::FILE* open_output_file(const std::string& path, bool append) {
  std::FILE* file = std::fopen(path.c_str(), append ? "a+" : "w");
  if (file != nullptr) std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
  return file;
}
void expand_dated_path(std::string*) {}
std::uint64_t disk_free_bytes(const std::string&) { return 0; }
bool continuation_active() { return false; }
void set_up_disk_capacity() {}
void continue_on_new_disk() {}
