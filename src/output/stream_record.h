// The records of a file's named streams.
#pragma once

#include <string>

// Called after the file's own record when streams are listed.
void list_file_streams(const std::string& full_path, const std::string& name);
