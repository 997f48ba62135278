// What `tallysum --verify CATALOGUE... [OPTIONS]` and `tallysum --compare OLD NEW [OPTIONS]`
// ask for.
#pragma once

#include <string>
#include <vector>

struct VerifyRequest {
  // The catalogue's files in order: one, or the files of a catalogue continued over disks;
  // for --compare, the two catalogues.
  std::vector<std::string> catalogues;
  // --root DIR: where relative search paths are taken from; empty: the current directory.
  std::string root;
  // The options that follow the names, which stand in for the catalogue's echoed command
  // line (of both catalogues, for --compare); empty: the echoed line decides.
  std::vector<std::string> record_options;
  // --jobs N, which shapes the verification and not the records.
  std::vector<std::string> run_options;
  // The accounting log that keeps the catalogues' digests: --log FILE, else the log ACCT
  // names; empty: none.
  std::string log;
  // --compare: two catalogues, the older first, and no disk.
  bool compare = false;
};

// True when argv[1] is --verify or --compare, with what follows it in `request`: the names up
// to the first option, then the options. Ends the run with reason 5 when no name follows,
// --compare is not given two, --root or --log has no value, or --root is given to --compare.
bool verify_requested(int argc, char** argv, VerifyRequest* request);
