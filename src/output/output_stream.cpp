#include "output/output_stream.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/text_file.h"

void WriteOutput(const char* text, size_t length) {
    ClearSystemError();
    if (std::fwrite(text, 1, length, stdout) != length) throw CFileException(LastSystemError());
}

void WriteOutput(const char* text) {
    WriteOutput(text, std::strlen(text));
}

void FlushOutput() {
    ClearSystemError();
    if (std::fflush(stdout) != 0) throw CFileException(LastSystemError());
}
