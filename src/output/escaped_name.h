// Names that a record cannot spell as they are. A name holding a control character is written
// escaped, and its record line begins with a single '\', so that a name with a line feed and
// one with '?' in its place give different records, and the reader can tell them apart from a
// name with a backslash in it. Names without control characters are written as they are.
#pragma once

#include <string>
#include <string_view>

// True when `text` holds a control character: a byte 0x00-0x1F or 0x7F, or a C1 character
// (U+0080-U+009F, the UTF-8 pairs C2 80 to C2 9F).
bool holds_control(std::string_view text);

// `text` with '\' written "\\", a line feed "\n", a tab "\t", a carriage return "\r" and every
// other control byte "\xHH" (two upper-case hexadecimal digits; both bytes of a C1 character).
std::string escape_name(std::string_view text);
