// Standard output, where the makefile text goes. Every write is checked where it happens: a full
// disk or a reader that went away raises CFileException with the system's error number at once,
// so that the run reports it and stops instead of scanning on for output nobody can read.
#pragma once

#include <cstddef>
#include <string>

void WriteOutput(const char* text, size_t length);
void WriteOutput(const char* text);
inline void WriteOutput(const std::string& text) {
    WriteOutput(text.data(), text.size());
}
// Writes what is still buffered.
void FlushOutput();
