// The "Started" header written once, before any record.
#pragma once

void write_run_header();
