// What differs between the systems the program runs on, in one place: standard output, writing
// a file through to the disk, and replacing one file by another. Everything else goes through
// the SDL library or the C library alike everywhere.
#pragma once

#include <cstdio>

// Makes the Preload and Click lines reach whoever reads them and keeps a reader that goes away
// (cardioid | head -0) from ending the show: the lines are a report, and a failed write of one is
// not an error.
void set_up_standard_output();

// Writes what the file holds through to the disk. False, with errno set, when that fails.
bool flush_to_disk(std::FILE* file);

// Puts from in the place of to in one step, replacing a file already there. False, with errno
// set, when that fails; to is then unchanged.
bool replace_file(const char* from, const char* to);

// This process's id, which makes a temporary file's name its own.
long process_id();
