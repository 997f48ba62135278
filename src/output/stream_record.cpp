// Stand-in until stream records are written.
#include "output/stream_record.h"

void list_file_streams(const std::string&, const std::string&) {}
