// The program's start-up order and its two passes over the search paths.
#pragma once

#include "select/walk.h"

// Runs the whole program; ends the process through terminate_run or an early exit.
[[noreturn]] void run_program(int argc, char** argv);

// Opens the output file named by the settings and applies the consistency rules; exits with
// status 3 (OUTPUT_FILE) at once, without a summary, when the file cannot be opened or
// created.
void open_output_and_complete();
// The per-record width estimate the disk capacity starts from: the name column plus 40.
int compute_record_width();
// The start-up estimate of the record length. The width options and keys stop at
// kWidestNameColumn, which keeps both sums far inside an int.
int estimate_record_length();
// The main pass: walk_directory over every search path, in list order.
void walk_all_search_paths(WalkSink& sink);
