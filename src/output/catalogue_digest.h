// The digest of a finished catalogue, which the accounting log keeps: a log kept apart from
// the catalogues shows whether one was edited after its run wrote it.
#pragma once

#include <string>

// The SHA-256 of the file at `path`, every byte as it lies there (the system's line ends
// included), as 64 upper-case hexadecimal digits; empty when it cannot be read whole.
std::string file_sha256(const std::string& path);

// The log's line for a catalogue of that digest.
std::string catalogue_digest_line(const std::string& hex);

// Takes the digest of the output file at `path` as it is now, before its disk is changed, and
// keeps its line for the run's log entry.
void note_catalogue_digest(const std::string& path);

// What the run's log entry says of its catalogues: the lines kept at each change of disk and,
// when `closed` names the output file just finished, its own line, in disk order.
std::string catalogue_digest_lines(const std::string& closed);
