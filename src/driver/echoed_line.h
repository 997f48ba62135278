// The command line a catalogue echoes, read back into words, and the names of a catalogue
// written on the other system.
#pragma once

#include <string>
#include <vector>

// Which system's names a catalogue holds, as the program path its command line echoes shows.
enum class NameStyle { kThisSystem, kWindows, kPosix };
NameStyle name_style_of(const std::string& program_path);

// The words of an echoed command line, split at its spaces, with the words that held a space
// made whole again where the disk can tell: a run of pieces that name nothing on the disk
// becomes one word where their joining names a file or directory (or, with wildcards, a
// pattern in an existing directory). A join is tried only while some name on the disk begins
// as the joined text does, so the cost stays in proportion to the line. The program's path
// (the first word) is made whole up to the piece that ends in `program_name`, since the disk
// being verified need not hold the program. A line of the other system's `style` is read as
// that system reads it: its option prefixes, its separators and its drive letters.
std::vector<std::string> echoed_words(const std::string& command_line,
                                      const std::string& program_name, NameStyle style);

// A name in the form both systems share for comparing: a leading drive letter dropped and
// every separator written '/'. Only for catalogues of the other system.
std::string neutral_name(const std::string& name);
