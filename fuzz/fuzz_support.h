// Shared by the fuzz targets: a platform that touches no disk, and the splitting of fuzz input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

// Ends the run with a message that libFuzzer records as a crash, input saved. Used for broken
// invariants, which no sanitizer would notice.
#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(ReportStream(), "%s:%d: check failed: %s\n", __FILE__, __LINE__, \
                         #condition);                                                     \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

// The stream for the targets' own reports; the program's `stderr` may have been silenced.
inline FILE*& ReportStream() {
    static FILE* stream = stderr;
    return stream;
}

// Silences the program's standard output and standard error for the whole fuzzing run. The stream
// `stderr` is swapped for /dev/null rather than reopened: libFuzzer keeps writing its statistics
// and crash reports through the original stream, and the sanitizers write to descriptor 2.
inline void SilenceProgramOutput() {
    ReportStream() = stderr;
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    FILE* null = std::fopen("/dev/null", "w");
    if (null == nullptr) std::abort();
    stderr = null;
}

// A platform with an empty file system: nothing is found, nothing opens, no environment variable
// is set. Full paths and the character set come from the native platform, which makes full paths
// textually and reads nothing but the current directory's name.
class CEmptyPlatform : public CPlatform {
public:
    size_t MaxFullPath() const override { return NativePlatform().MaxFullPath(); }
    bool GetFullPath(const char* name, std::string& out) override {
        return NativePlatform().GetFullPath(name, out);
    }
    FindHandle FindFirstFile(const char*, CFindData&) override { return INVALID_FIND_HANDLE; }
    bool FindNextFile(FindHandle, CFindData&) override { return false; }
    void FindClose(FindHandle) override {}
    FileHandle OpenFile(const char*, OpenScope, CFileFacts&) override {
        return INVALID_FILE_HANDLE;
    }
    long ReadFile(FileHandle, char*, size_t, unsigned long& error) override {
        error = 9;  // EBADF: no file is ever open
        return -1;
    }
    bool SeekFile(FileHandle, int64_t, unsigned long& error) override {
        error = 9;
        return false;
    }
    void CloseFile(FileHandle) override {}
    bool GetEnvironment(const char*, std::string& value) override {
        value.clear();
        return false;
    }
    void LowerCase(std::string& text) override { NativePlatform().LowerCase(text); }
    void UpperCase(std::string& text) override { NativePlatform().UpperCase(text); }
    size_t CharLength(const char* text) override { return NativePlatform().CharLength(text); }
};

// The input cut at its NUL bytes: every piece, empty ones included, at most `maxPieces` of them.
inline std::vector<std::string> SplitAtNul(const uint8_t* data, size_t size, size_t maxPieces) {
    std::vector<std::string> pieces;
    const char* text = reinterpret_cast<const char*>(data);
    size_t start = 0;
    for (size_t i = 0; i <= size && pieces.size() < maxPieces; ++i) {
        if (i == size || text[i] == '\0') {
            pieces.emplace_back(text + start, i - start);
            start = i + 1;
        }
    }
    return pieces;
}
