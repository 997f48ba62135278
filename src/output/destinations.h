// The output file and its continuation over removable disks.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// Opens the output file to be created (or emptied), or, with `append`, to be added to at its
// end with a trailing Ctrl-Z removed first. nullptr when it cannot be opened; the caller
// reports that, with the system's reason from `error` when given.
OutputHandle open_output_file(const std::string& path, bool append, std::string* error = nullptr);
// Removes a 0x1A (an old end-of-text mark) that is the very last byte of the file, so that
// appended records do not stand behind it. A missing or empty file is left alone.
void remove_trailing_ctrl_z(const std::string& path);
// Rewrites a path holding "/MMDD" or "/YYMM" (the platform separator before the marker) into
// one named after today's UTC date: the eight digits replace the marker and whatever follows
// it, and the text from the first '.' after the marker (the extension) is appended. A path
// without a marker is left alone.
void expand_dated_path(std::string* path);
// Bytes the run may still write on the file system holding `path`; prints "can't get disk free
// space" and ends the run with reason 3 when they cannot be read.
std::uint64_t disk_free_bytes(const std::string& path);
// Records of `record_width` bytes that fit in `free_bytes` with 4096 bytes kept in reserve.
// Less than the reserve counts as a full disk (0); a count too large for the counter is capped.
int capacity_for_free_space(std::uint64_t free_bytes, int record_width);

// Continuation over removable disks.
extern int disk_capacity;
extern int records_on_disk;
// True when the output file lies on a removable drive.
// Settled by set_up_disk_capacity, or by the first call when that has not run yet.
bool continuation_active();
// Decides whether continuation applies to this run's output file and, when it does, sets
// disk_capacity from the free space and records_on_disk to 1. Called once at start-up.
void set_up_disk_capacity();
// Called with the length of each record before the capacity check: a record longer than any
// before on this disk lowers disk_capacity to what the disk's free space holds of records that
// long. The estimated width undercounts the digest and time columns, and a capacity counted
// in it would let the disk fill up before the change of disk comes.
void note_record_length(std::size_t length);
// Closes the full disk's file with a continuation line, waits for the user to change the disk
// and carries on in a new file of the same name. Ends the run with reason 3 when it cannot.
void continue_on_new_disk();
