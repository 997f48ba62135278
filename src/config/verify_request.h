// What `tallysum --verify CATALOGUE... [OPTIONS]` asks for.
#pragma once

#include <string>
#include <vector>

struct VerifyRequest {
  // The catalogue's files in order: one, or the files of a catalogue continued over disks.
  std::vector<std::string> catalogues;
  // --root DIR: where relative search paths are taken from; empty: the current directory.
  std::string root;
  // The options that follow the names, which stand in for the catalogue's echoed command
  // line; empty: the echoed line decides.
  std::vector<std::string> record_options;
  // --jobs N, which shapes the verification and not the records.
  std::vector<std::string> run_options;
};

// True when argv[1] is --verify, with what follows it in `request`: the names up to the
// first option, then the options. Ends the run with reason 5 when no name follows or --root
// has no directory.
bool verify_requested(int argc, char** argv, VerifyRequest* request);
