// Diagnostics: argument errors, the error modes of scan conditions, the active-file dump.
#include <cstdarg>

#include "app/dependency_app.h"
#include "output/output_stream.h"

std::string CDependencyApp::BannerLine() {
    char line[80];
    std::snprintf(line, sizeof line,
                  "incwalk32 %d.%d%d - makefile dependencies of C and C++ sources\n", 1, 1, 0);
    return line;
}

void CDependencyApp::PrintBanner() {
    std::fputs(BannerLine().c_str(), stderr);
}

void CDependencyApp::ArgError(int code, const char* format, ...) {
    // Every argument diagnostic ends the run, so the banner is printed at most once.
    if (m_bBanner) {
        PrintBanner();
        m_bBanner = 0;
    }
    std::fputs("incwalk32", stderr);
    if (m_pszResponseFile != nullptr) {
        std::fprintf(stderr, " @%s(%d)", m_pszResponseFile, m_nResponseLine);
    }
    std::fputs(": ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    m_nExitCode = code;
}

void CDependencyApp::ReportCondition(int mode, int code, bool includeCondition, const char* format,
                                     ...) {
    if (mode >= 1) {
        va_list args;
        va_start(args, format);
        std::vfprintf(stderr, format, args);
        va_end(args);
    }
    if (mode == 3 && includeCondition) DumpActiveFiles();
    if (mode >= 2) m_nExitCode = code;
}

void CDependencyApp::DumpActiveFiles() {
    WriteOutput("Active source files (most deeply nested first):\n");
    for (auto entry = m_activeFiles.rbegin(); entry != m_activeFiles.rend(); ++entry) {
        WriteOutput("  ");
        WriteOutput(*entry);
        WriteOutput("\n");
    }
}
