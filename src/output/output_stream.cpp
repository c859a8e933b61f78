#include "output/output_stream.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/text_file.h"

namespace {

std::FILE* g_pMakefile = nullptr;  // the new file of /F while it is written

void Write(std::FILE* stream, const char* text, size_t length) {
    ClearSystemError();
    if (std::fwrite(text, 1, length, stream) != length) throw CFileException(LastSystemError());
}

}  // namespace

CMakefileOutput::CMakefileOutput(const std::string& name) {
    if (name.empty()) return;
    unsigned long error = 0;
    m_pFile = Platform().CreateMakefile(name.c_str(), error);
    if (m_pFile == nullptr) throw CFileException(error);
    g_pMakefile = m_pFile;
}

CMakefileOutput::~CMakefileOutput() {
    if (m_pFile == nullptr) return;
    g_pMakefile = nullptr;
    Platform().DiscardMakefile();
}

void CMakefileOutput::Finish(bool succeeded) {
    if (m_pFile == nullptr) return;
    m_pFile = nullptr;
    g_pMakefile = nullptr;
    if (!succeeded) {
        Platform().DiscardMakefile();
        return;
    }
    unsigned long error = 0;
    if (!Platform().CommitMakefile(error)) throw CFileException(error);
}

void WriteOutput(const char* text, size_t length) {
    Write(g_pMakefile != nullptr ? g_pMakefile : stdout, text, length);
}

void WriteOutput(const char* text) {
    WriteOutput(text, std::strlen(text));
}

void WriteStandardOutput(const char* text) {
    Write(stdout, text, std::strlen(text));
}

void FlushOutput() {
    ClearSystemError();
    if (std::fflush(stdout) != 0) throw CFileException(LastSystemError());
}
