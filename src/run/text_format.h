// Formatted text appended to a string, so a record can be assembled whole before it is
// written in one piece.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Appends the printf-style text to `out` and returns the number of characters appended.
// `format` is always a literal of the program, never user text. The formats are those of the C
// standard on every system (%zu, %lld), not those of an older run-time.
int append_format(std::string* out, const char* format, ...)
    __attribute__((format(gnu_printf, 2, 3)));

// The text with its ASCII letters upper-cased; other bytes, such as those of UTF-8 names,
// stay as they are.
std::string upper_case_ascii(std::string text);

// The text with control characters shown as '?', one for each: a name may hold line ends on
// this system, and printed as they are they would split a record or forge one, or reach a
// terminal as a command. The C1 controls count too, as U+0080-U+009F in UTF-8 and as single
// bytes 0x80-0x9F outside any UTF-8 sequence; every other byte stays as it is.
std::string printable_text(std::string_view text);

// The 24-character text of a moment (seconds since 1970), local time or UTC, day zero-padded:
// Wed Jan 02 02:03:55 1980. Empty when the moment cannot be converted.
std::string time_text(std::int64_t seconds, bool local);
