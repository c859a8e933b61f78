// What both platforms do alike for the one file the run writes: the new file's name, and whether
// it holds what the named file holds already.
#pragma once

#include <cstdio>
#include <string>

// The name of the new file for the makefile `leaf`: the process and an attempt number make it
// one of its own, and the extension keeps it apart from the sources a build lists.
std::string NewFileName(const std::string& leaf, unsigned long process, unsigned attempt);

// The attempts at a free name before the run gives up: another run of the same process number
// may have left a file behind only when it was killed.
const unsigned NEW_FILE_ATTEMPTS = 100;

// Whether the files `a` and `b` hold the same bytes; false when either cannot be read.
bool SameBytes(const char* a, const char* b);

// Writes what the new file's stream still buffers and closes it; false with the system's error
// number when some of it could not be written.
bool CloseNewFile(std::FILE* stream, unsigned long& error);
