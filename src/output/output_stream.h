// Where the makefile text goes: standard output, or with /F a new file that takes the makefile's
// place only once the run has succeeded, so that a failed or killed run never leaves a makefile
// cut short. Every write is checked where it happens: a full disk or a reader that went away
// raises CFileException with the system's error number at once, so that the run reports it and
// stops instead of scanning on for output nobody can read.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// The makefile of a run, for its lifetime: the text goes to standard output when `name` is
// empty, else into a new file beside the file `name`. Raises CFileException when that cannot
// be made; the new file is removed unless Finish puts it in place.
class CMakefileOutput {
public:
    explicit CMakefileOutput(const std::string& name);
    ~CMakefileOutput();
    CMakefileOutput(const CMakefileOutput&) = delete;
    CMakefileOutput& operator=(const CMakefileOutput&) = delete;

    // Puts the new file in place when the run `succeeded`, else removes it. Raises
    // CFileException when it cannot be put in place.
    void Finish(bool succeeded);

private:
    std::FILE* m_pFile = nullptr;
};

// The makefile text.
void WriteOutput(const char* text, size_t length);
void WriteOutput(const char* text);
inline void WriteOutput(const std::string& text) {
    WriteOutput(text.data(), text.size());
}
// What goes to standard output whatever /F says: the usage text and the active-file list.
void WriteStandardOutput(const char* text);
inline void WriteStandardOutput(const std::string& text) {
    WriteStandardOutput(text.c_str());
}
// Writes what standard output still holds in its buffer.
void FlushOutput();
