// The file record: one line per selected file.
#pragma once

#include <string>

// `directory` ends in the separator; `name` is the bare file name.
void write_file_record(const std::string& directory, const std::string& name);

// 12 when the record width is 80 or more, else 24.
int page_length();
