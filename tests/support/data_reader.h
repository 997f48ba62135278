// The tests' own readers of the data forms, written apart from the program's: CSV as RFC 4180
// defines it and JSON Lines of flat objects, so that a record that only the program itself
// could read back does not pass.
#pragma once

#include <map>
#include <string>
#include <vector>

// The rows of a CSV text, each a list of fields. False when a quoted field is left open or a
// quote stands inside an unquoted field.
bool parse_csv(const std::string& text, std::vector<std::vector<std::string>>* rows);

// One JSON object of strings, numbers and nulls (a null as "null", a number as its digits).
// False when the line is not such an object.
bool parse_json_object(const std::string& line, std::map<std::string, std::string>* fields);
