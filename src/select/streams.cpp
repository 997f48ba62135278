// Stand-in until named streams are listed.
#include "select/streams.h"

std::vector<StreamEntry> stream_table;

void enable_backup_privileges() {}
int count_streams(const std::string&) { return 0; }
void list_directory_streams(int, const std::string&) {}
std::string stream_path_suffix(const std::string& stream_name) { return stream_name; }
