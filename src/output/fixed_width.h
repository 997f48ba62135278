// The catalogue's own layout: every field of a record in its fixed-width column, followed by
// the run's delimiter, appended to the one buffer the record is assembled in. A record writer
// hands the renderer its fields in column order; the file record, the file-stream record and
// the directory-stream record lay some of them out by rules of their own, so the renderer is
// told which it renders. Other layouts of the same fields can stand beside this one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "digest/digest_kinds.h"
#include "select/file_dates.h"

enum class RecordKind { kFile, kFileStream, kDirectoryStream };

// The two texts a name column is made from, escaped (output/escaped_name.h) when the name
// holds a control character.
struct NameTexts {
  std::string bare;   // the bare name, or the carrier's name and the stream suffix
  std::string shown;  // the display name: the full or stream path, shortened
  bool escaped = false;
};

// The name column's texts for a name `bare` (under name_only) and a path `path` (otherwise,
// shortened to the column): only the one the settings show is made, escaped when the name
// holds a control character.
NameTexts name_texts(const std::string& bare, const std::string& path);

class FixedWidthRenderer {
 public:
  FixedWidthRenderer(RecordKind kind, std::string* out) : kind_(kind), out_(out) {}

  // The mark that begins the line of a record whose name is escaped; nothing otherwise.
  void escape_mark(const NameTexts& name);
  // Followed by the delimiter only when that is not a space.
  void comment(std::string_view text);
  // The name column: of a file record, before the digests.
  void name(const NameTexts& name);
  // The name column of a file record after the digests, `settings.name_after_digest` spaces
  // ahead of it where the rules say.
  void trailing_name(const NameTexts& name);
  void digest(DigestKind kind, std::string_view text);
  void size(std::int64_t bytes);
  // The columns of the stamps time_kind selects; false when it selects none.
  bool times(const FileTimes& times);
  void zone();
  void short_name(std::string_view name);
  void end();

 private:
  void standard_time(const Stamp& stamp, char letter);
  void fixed_time(const Stamp& stamp, char letter);
  void delimiter();

  RecordKind kind_;
  std::string* out_;
};
