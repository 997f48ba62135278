#include "driver/echoed_line.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "config/options.h"
#include "output/catalogue_reader.h"
#include "platform/platform.h"
#include "run/termination.h"
#include "select/path_lists.h"

namespace {

bool has_drive(const std::string& word) {
  return word.size() >= 3 && std::isalpha(static_cast<unsigned char>(word[0])) && word[1] == ':' &&
         (word[2] == '\\' || word[2] == '/');
}

std::string with_separator(std::string text, char from, char to) {
  std::replace(text.begin(), text.end(), from, to);
  return text;
}

// The words as this system's parser must see them to read them as the writing system did.
std::vector<std::string> in_this_system(std::vector<std::string> words, NameStyle style) {
  bool bare = true;  // the program and the words before the first option are paths
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::string& word = words[i];
    if (style == NameStyle::kWindows) {
      if (i > 0 && word.rfind("//", 0) != 0 && word[0] == '/') word[0] = '-';  // an option there
      if (has_drive(word)) word = with_separator(word.substr(2), '\\', '/');
      if (bare && !begins_option(word.c_str())) word = with_separator(word, '\\', '/');
    } else if (style == NameStyle::kPosix && word[0] == '/') {
      word = with_separator(word, '/', '\\');  // a path there, and an option here
    }
    if (begins_option(word.c_str())) bare = false;
  }
  return words;
}

// The sorted names of each directory asked about, listed once.
class NamesOnDisk {
 public:
  // True when a name in the directory of `text` begins as the last component of `text`
  // does, up to its first wildcard.
  bool some_name_begins(const std::string& text) {
    const std::size_t cut = text.rfind(kSeparator);
    const std::string dir = cut == std::string::npos ? "." : text.substr(0, cut + 1);
    std::string head = cut == std::string::npos ? text : text.substr(cut + 1);
    head = head.substr(0, head.find_first_of("*?"));
    const std::vector<std::string>& names = names_in(dir);
    const std::string key = folded(head);
    auto at = std::lower_bound(names.begin(), names.end(), key);
    return at != names.end() && at->compare(0, key.size(), key) == 0;
  }

 private:
  static std::string folded(const std::string& name) {
    if (!kNamesIgnoreCase) return name;
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
  }
  const std::vector<std::string>& names_in(const std::string& dir) {
    auto [at, fresh] = listed_.try_emplace(dir);
    if (!fresh) return at->second;
    std::string why;
    Directory directory{dir, os().open_directory(dir, &why)};
    DirListing listing;
    if (directory.handle != nullptr && os().list_directory(directory, &listing, &why)) {
      for (std::size_t i = 0; i < listing.size(); ++i) {
        at->second.push_back(folded(std::string(listing.name(i))));
      }
    }
    if (directory.handle != nullptr) os().close_directory(directory.handle);
    std::sort(at->second.begin(), at->second.end());
    return at->second;
  }

  std::map<std::string, std::vector<std::string>> listed_;
};

bool names_something(const std::string& word) {
  DirEntry facts;
  if (os().path_facts(word, &facts)) return true;
  std::size_t cut = word.rfind(kSeparator);
  if (word.find_first_of("*?") == std::string::npos || cut == std::string::npos) return false;
  return os().is_directory(word.substr(0, cut == 0 ? 1 : cut));
}

bool ends_with_name(const std::string& word, const std::string& name) {
  return !name.empty() && word.size() >= name.size() &&
         same_name(word.substr(word.size() - name.size()), name);
}

// The program's path: up to the first piece, before any option, that ends in its name.
std::size_t program_pieces(const std::vector<std::string>& split, const std::string& name) {
  for (std::size_t k = 0; k < split.size() && !begins_option(split[k].c_str()); ++k) {
    if (ends_with_name(split[k], name)) return k + 1;
  }
  return 1;
}

std::string joined(const std::vector<std::string>& split, std::size_t from, std::size_t to) {
  std::string text = split[from];
  for (std::size_t k = from + 1; k < to; ++k) text += " " + split[k];
  return text;
}

// The word that begins at split[i] and the index after its last piece.
std::size_t whole_word(const std::vector<std::string>& split, std::size_t i, NamesOnDisk& disk,
                       std::string* word) {
  *word = split[i];
  if (begins_option(word->c_str()) || names_something(*word)) return i + 1;
  std::string text = *word;
  for (std::size_t k = i + 1; k < split.size() && !begins_option(split[k].c_str()); ++k) {
    if (!disk.some_name_begins(text)) break;
    text += " " + split[k];
    if (names_something(text)) {
      *word = text;
      return k + 1;
    }
  }
  return i + 1;
}

}  // namespace

NameStyle name_style_of(const std::string& program_path) {
  const bool windows = has_drive(program_path) || program_path.rfind("\\\\", 0) == 0;
  const bool posix = !program_path.empty() && program_path[0] == '/';
  if (windows && kSeparator != '\\') return NameStyle::kWindows;
  if (posix && kSeparator != '/') return NameStyle::kPosix;
  return NameStyle::kThisSystem;
}

std::vector<std::string> echoed_words(const std::string& command_line,
                                      const std::string& program_name, NameStyle style) {
  const std::vector<std::string> split = in_this_system(command_words(command_line), style);
  std::vector<std::string> words;
  if (split.empty()) return words;
  const std::size_t program_end = program_pieces(split, program_name);
  words.push_back(joined(split, 0, program_end));
  NamesOnDisk disk;
  for (std::size_t i = program_end; i < split.size();) {
    check_interrupt();
    std::string word;
    i = whole_word(split, i, disk, &word);
    words.push_back(word);
  }
  return words;
}

std::string neutral_name(const std::string& name) {
  return with_separator(has_drive(name) ? name.substr(2) : name, '\\', '/');
}
