// Stand-in until the banner box is built.
#include "output/banner.h"

void print_centred(std::FILE* stream, const std::string& text, int width) {
  int pad = (width - static_cast<int>(text.size())) / 2;
  std::fprintf(stream, "%*s%s", pad > 0 ? pad : 0, "", text.c_str());
}
int show_banner(int line_count) { return line_count + 4; }
std::string version_text() { return ""; }
