// The rules that make the settings consistent once their sources have been read.
#pragma once

// The rules applied once the last argument has been read.
void finish_command_line();
// The rules applied by the driver once the output file is open. Ends the run with reason 5
// when appending was asked for without an output file.
void complete_settings();
