// Reading data records back (--format csv or json): the header row or first object that
// tells a data catalogue from a fixed-width one, the facts of each record, and the options its
// columns stand for.
#pragma once

#include <string>
#include <vector>

#include "output/catalogue.h"
#include "run/settings.h"

// Whether `line`, the first of a catalogue, begins data records: a CSV header row of known
// column names beginning with "name", or a JSON object whose first key is "name". Gives the
// form and the columns (a JSON object's keys).
bool data_catalogue_start(const std::string& line, RecordFormat* format,
                          std::vector<std::string>* columns);

// Whether a CSV text ends inside a quoted field, so that the record goes on on the next line.
bool csv_record_open(const std::string& text);

// The facts of one data record with `columns`: the name (the path, and ":STREAM" for a named
// stream), the digests in the file record's order, the size, the creation and last-write times
// as the UTC instants they name, the short name. False when the record does not fit.
bool read_data_record(const std::string& text, RecordFormat format,
                      const std::vector<std::string>& columns, RecordFacts* facts);

// The options that give records these columns, set in `s`: the digest kinds, the times, named
// streams and short names, and the form.
void settings_from_columns(const std::vector<std::string>& columns, RecordFormat format,
                           Settings* s);
