// Digests of files from a source that shares nothing with the program's kernels.
#pragma once

#include <string>

// The digest `algorithm` ("md5", "sha1", "sha256", "sha384" or "sha512") of the file at
// `path`, in upper-case hex: from the system's checksum programs on Linux, from its
// cryptography library on Windows. Empty when the source cannot give it.
std::string reference_digest(const std::string& algorithm, const std::string& path);
// What gives those digests, for a failure message.
extern const char kReferenceSource[];
