// Shared by the fuzz targets: the tests' file system in memory, and the splitting of fuzz input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "memory_platform.h"

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
