// The file record: one line per selected file.
#pragma once

#include <string>

// Looks the file up again, applies the filters, counts it, pauses the screen when asked to,
// writes its record whole to the output stream and then lists its named streams. A file that
// cannot be found again or that a filter rejects gives no output and is not counted.
// `directory` ends in the separator; `name` is the bare file name.
void write_file_record(const std::string& directory, const std::string& name);

// 12 when the record width is 80 or more, else 24.
int page_length();

// The digest text the last file record produced; stream records may reuse it.
extern std::string last_digest_text;
