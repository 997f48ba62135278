// The program's start-up order and its two passes over the search paths.
#pragma once

#include <cstddef>

#include "select/walk.h"

class WorkPool;

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
// What the walk starts from once the settings are complete: "*.*" and the current directory
// where no pattern or path was given, the record width and length estimates, the volume kind
// of the first search path.
void prepare_search();
// The main pass: walk_directory over every search path, in list order.
void walk_all_search_paths(WalkSink& sink);
// The workers of a run that reads several files at once (--jobs, by default one per
// processor); null when it reads one file at a time. Made once and never destroyed: the run
// ends through std::exit, possibly while a worker still reads.
WorkPool* run_workers();
// Files and steps the walk may run ahead of the records with `workers`.
std::size_t ordered_window(const WorkPool& workers);
