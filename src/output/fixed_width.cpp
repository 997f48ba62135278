#include "output/fixed_width.h"

#include <algorithm>
#include <charconv>

#include "output/escaped_name.h"
#include "output/file_times.h"
#include "output/shorten.h"
#include "run/settings.h"

namespace {

// Padding before a trailing name is cut from a source of this many spaces, as it always was.
constexpr int kMostLeadingSpaces = 258;

// `value` in decimal, right-aligned in `width` columns: filled with spaces, or with zeros after
// the sign as the C library's "%0*d" does.
void append_number(std::string* out, long long value, int width, char fill) {
  char digits[24];
  const std::size_t n =
      static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
  const std::size_t room = width > 0 ? static_cast<std::size_t>(width) : 0;
  if (n >= room) {
    out->append(digits, n);
  } else if (fill == ' ') {
    out->append(room - n, ' ');
    out->append(digits, n);
  } else {
    const std::size_t sign = value < 0 ? 1 : 0;
    out->append(digits, sign);
    out->append(room - n, '0');
    out->append(digits + sign, n - sign);
  }
}

void append_zero_padded(std::string* out, int value, int width) {
  if (value >= 0 && value < 100 && width == 2) {
    *out += static_cast<char>('0' + value / 10);
    *out += static_cast<char>('0' + value % 10);
    return;
  }
  append_number(out, value, width, '0');
}

// `text` left-aligned and padded with spaces to `width`, never cut.
void append_left(std::string* out, std::string_view text, int width) {
  out->append(text);
  if (width > 0 && text.size() < static_cast<std::size_t>(width)) {
    out->append(static_cast<std::size_t>(width) - text.size(), ' ');
  }
}

// `text` in exactly `width` columns, cut or padded. A negative width, as the C library reads
// it, pads to its size and cuts nothing.
void append_exact(std::string* out, std::string_view text, int width) {
  if (width < 0) {
    append_left(out, text, -width);
    return;
  }
  append_left(out, text.substr(0, static_cast<std::size_t>(width)), width);
}

// `text` right-aligned in `width` columns, never cut.
void append_right(std::string* out, std::string_view text, std::size_t width) {
  if (text.size() < width) out->append(width - text.size(), ' ');
  out->append(text);
}

void append_lower(std::string* out, std::string_view text) {
  for (char c : text) *out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

const Stamp& stamp_of(const FileTimes& times, char letter) {
  if (letter == 'c') return times.creation;
  if (letter == 'a') return times.last_access;
  return times.last_write;
}

}  // namespace

NameTexts name_texts(const std::string& bare, const std::string& path) {
  NameTexts names;
  if (settings.name_only) {
    names.escaped = holds_control(bare);
    names.bare = names.escaped ? escape_name(bare) : bare;
    return names;
  }
  names.escaped = holds_control(path);
  const std::string written = names.escaped ? escape_name(path) : path;
  const int width = settings.name_width;
  names.shown = settings.width_mode > 2 ? shorten_keep_head(written, width)
                                        : shorten_keep_tail(written, width);
  return names;
}

void FixedWidthRenderer::delimiter() {
  *out_ += static_cast<char>(settings.delimiter);
}

void FixedWidthRenderer::escape_mark(const NameTexts& name) {
  if (name.escaped) *out_ += '\\';
}

void FixedWidthRenderer::comment(std::string_view text) {
  out_->append(text);
  if (settings.delimiter != ' ') delimiter();
}

void FixedWidthRenderer::name(const NameTexts& name) {
  if (settings.name_only) {
    append_left(out_, name.bare, settings.name_only_width);
  } else if (kind_ != RecordKind::kFile || settings.name_width > 8) {
    append_exact(out_, name.shown, settings.name_width);
  } else {
    out_->append(name.shown);
  }
  delimiter();
}

void FixedWidthRenderer::trailing_name(const NameTexts& name) {
  const std::size_t spaces =
      static_cast<std::size_t>(std::clamp(settings.name_after_digest, 0, kMostLeadingSpaces));
  if (settings.name_only) {
    out_->append(spaces, ' ');
    append_left(out_, name.bare, settings.name_only_width);
  } else if (settings.name_width > 8) {
    append_exact(out_, name.shown, settings.name_width);
  } else {
    out_->append(spaces, ' ');
    out_->append(name.shown);
  }
  delimiter();
}

void FixedWidthRenderer::digest(DigestKind kind, std::string_view text) {
  constexpr std::size_t kColumn = 40;
  if (kind_ != RecordKind::kFile) {
    append_right(out_, text, kColumn);
  } else if (kind == DigestKind::kMd5) {
    // A narrow name column makes the whole record variable-length, the MD5 column too.
    if (settings.name_width >= 8)
      out_->append(kColumn > text.size() ? kColumn - text.size() : 0, ' ');
    if (settings.lower_case_hex) {
      append_lower(out_, text);
    } else {
      out_->append(text);
    }
  } else if (kind == DigestKind::kSha1 || kind == DigestKind::kCrc32) {
    append_right(out_, text, kColumn);
  } else {
    *out_ += ' ';
    out_->append(text);
  }
  delimiter();
}

void FixedWidthRenderer::size(std::int64_t bytes) {
  append_number(out_, bytes, 12, ' ');
  delimiter();
}

bool FixedWidthRenderer::times(const FileTimes& times) {
  const bool fixed = kind_ == RecordKind::kFileStream;
  const char* letters = selected_stamps(settings.time_kind, fixed);
  for (const char* letter = letters; *letter != '\0'; ++letter) {
    if (fixed) {
      fixed_time(stamp_of(times, *letter), *letter);
    } else {
      standard_time(stamp_of(times, *letter), *letter);
    }
  }
  return *letters != '\0';
}

void FixedWidthRenderer::standard_time(const Stamp& s, char letter) {
  if (settings.year_first_dates) {
    append_zero_padded(out_, s.year, 4);
    *out_ += '/';
    append_zero_padded(out_, s.month, 2);
    *out_ += '/';
    append_zero_padded(out_, s.day, 2);
  } else {
    append_zero_padded(out_, s.month, 2);
    *out_ += '/';
    append_zero_padded(out_, s.day, 2);
    *out_ += '/';
    append_zero_padded(out_, s.year, 4);
  }
  delimiter();
  append_zero_padded(out_, s.hour, 2);
  *out_ += ':';
  append_zero_padded(out_, s.minute, 2);
  if (settings.time_kind == '3' || settings.time_seconds) {
    *out_ += ':';
    append_zero_padded(out_, s.second, 2);
  }
  *out_ += letter;
  delimiter();
}

// Always with seconds, never year first, and the year unpadded.
void FixedWidthRenderer::fixed_time(const Stamp& s, char letter) {
  append_zero_padded(out_, s.month, 2);
  *out_ += '/';
  append_zero_padded(out_, s.day, 2);
  *out_ += '/';
  append_number(out_, s.year, 0, ' ');
  delimiter();
  append_zero_padded(out_, s.hour, 2);
  *out_ += ':';
  append_zero_padded(out_, s.minute, 2);
  *out_ += ':';
  append_zero_padded(out_, s.second, 2);
  *out_ += letter;
  delimiter();
}

void FixedWidthRenderer::zone() {
  if (settings.zulu) {
    out_->append("GMT");
  } else {
    append_right(out_, std::string_view(zone_abbreviation).substr(0, 3), 3);
  }
  delimiter();
}

void FixedWidthRenderer::short_name(std::string_view name) {
  if (kind_ == RecordKind::kDirectoryStream) {
    // A directory's stream has no 8.3 name of its own.
    out_->append(16, ' ');
  } else {
    *out_ += ' ';
    append_left(out_, name, 15);
  }
  delimiter();
}

void FixedWidthRenderer::end() {
  *out_ += '\n';
}
