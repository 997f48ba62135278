// The answers of --help and --version, for a user who has not read the manual yet.
#pragma once

// When the arguments hold --help or --version, answers the first of them on standard output
// and ends the run at once, before anything of it is opened: status 0, or 8 when the answer
// could not all be written. Returns when neither is there.
void answer_help_or_version(int argc, char** argv);

// The one-screen summary: the command's form, the options grouped, examples and where the
// manual is. False when it could not all be written.
bool write_usage();
// The program's name and version, what it was built for and the digest kernels this processor
// runs. False when it could not all be written.
bool write_version();
