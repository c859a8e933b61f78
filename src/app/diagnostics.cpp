// Diagnostics: every message of the program, the error modes that decide what becomes of a
// condition, and the active-file dump. No other file holds a message text.
#include <cstdio>

#include "app/dependency_app.h"
#include "output/output_stream.h"

namespace {

const char USAGE_TEXT[] =
    "usage: incwalk32 [/opts] [@responsefile] [macro=[value]] {target[=ext]}\n"
    " /A[-]         Use absolute paths in dependency lists ('-' = omit drive)\n"
    " /Ef0|1|2|3    Set error mode on #include not found (default: 2)\n"
    " /Er0|1|2|3    Set error mode on recursive #includes (default: 1)\n"
    " /Et0|1|2|3    Set error mode on target files not found (default: 2)\n"
    " /Ex0|1|2|3    Set error mode on unknown extensions (default: 2)\n"
    " /H            Output dependencies in hierarchical format\n"
    " /Ipath{;path} Specify additional include search path(s)\n"
    " /Go[+]        Generate object files macro (MAIN_OBJ), '+' = response file format\n"
    " /Gt           Generate top-level dependencies macro (MAIN_DEP)\n"
    " /Opath        Specify path for object file(s)\n"
    " /M            Output dependencies in MSVC (macro-based) format\n"
    " /S            Scan system includes (#include <file>)\n"
    " /Ufilespec    Specify a universal dependency\n"
    " /Xname        Exclude named file from dependency lists\n"
    " /?            Display this screen\n"
    "Targets may include wildcards.  At least one target must be specified.\n"
    "'=ext' specifies the extension to be used in the final makefile target;\n"
    "e.g., 'test.cpp=zzz' creates 'test.zzz: test.cpp' instead of 'test.obj: test.cpp'\n";

std::string ArgMessage(ArgProblem problem, const std::string& text) {
    switch (problem) {
        case ArgProblem::INVALID_OPTION:
            return "invalid option '" + text + "'; type 'incwalk32 /?' for usage\n";
        case ArgProblem::INVALID_ERROR_MODE:
            return "invalid /E option; type 'incwalk32 /? for usage\n";
        case ArgProblem::INVALID_MACRO_OPTION:
            return "invalid /G option; type 'incwalk32 /? for usage\n";
        case ArgProblem::MISSING_INCLUDE_PATH:
            return "invalid /I option (missing path); type 'incwalk32 /? for usage\n";
        case ArgProblem::MISSING_OBJECT_PATH:
            return "invalid /O option (missing path); type 'incwalk32 /? for usage\n";
        case ArgProblem::MISSING_UNIVERSAL:
            return "invalid /U option; type 'incwalk32 /? for usage\n";
        case ArgProblem::MISSING_MAKEFILE:
            return "invalid /F option (missing filename); type 'incwalk32 /? for usage\n";
        case ArgProblem::MISSING_EXCLUDE:
            return "invalid /X option (missing filename); type 'incwalk32 /? for usage\n";
        case ArgProblem::INVALID_TARGET:
            return "invalid target '" + text + "'; type 'incwalk32 /?' for usage\n";
        case ArgProblem::NESTED_RESPONSE_FILE:
            return "nested response files not allowed\n";
        case ArgProblem::UNOPENED_RESPONSE_FILE:
            return "unable to open response file " + text + "\n";
        case ArgProblem::LONG_RESPONSE_LINE:
            return "response file line exceeds " + std::to_string(MAX_RESPONSE_LINE) +
                   " characters\n";
    }
    return std::string();
}

}  // namespace

std::string CDependencyApp::BannerLine() {
    char line[80];
    std::snprintf(line, sizeof line,
                  "incwalk32 %d.%d%d - makefile dependencies of C and C++ sources\n", 1, 1, 0);
    return line;
}

void CDependencyApp::Usage() {
    WriteStandardOutput(BannerLine());
    WriteStandardOutput(USAGE_TEXT);
}

void CDependencyApp::PrintBannerOnce() {
    if (!m_bBanner) return;
    std::fputs(BannerLine().c_str(), stderr);
    m_bBanner = 0;
}

void CDependencyApp::ArgError(ArgProblem problem, const char* text) {
    PrintBannerOnce();
    std::fputs("incwalk32", stderr);
    if (m_pszResponseFile != nullptr) {
        std::fprintf(stderr, " @%s(%d)", m_pszResponseFile, m_nResponseLine);
    }
    std::fputs(": ", stderr);
    std::fputs(ArgMessage(problem, text).c_str(), stderr);
    m_nExitCode = EXIT_BAD_ARGS;
}

void CDependencyApp::ReportNoTargets() {
    std::fputs("incwalk32: no targets specified; type 'incwalk32 /?' for usage\n", stderr);
    m_nExitCode = EXIT_BAD_ARGS;
}

void CDependencyApp::ReportNotFound(const std::string& includer, const std::string& name) {
    if (Reports(m_nErrNotFound)) {
        std::fprintf(stderr, "incwalk32: %s: include file %s not found\n", includer.c_str(),
                     name.c_str());
    }
    ApplyMode(m_nErrNotFound, EXIT_NOT_FOUND, ActiveFiles::LISTED);
}

void CDependencyApp::ReportRecursive(const std::string& includer, const std::string& path) {
    if (Reports(m_nErrRecursive)) {
        std::fprintf(stderr, "incwalk32: %s: recursive header %s\n", includer.c_str(),
                     path.c_str());
    }
    ApplyMode(m_nErrRecursive, EXIT_RECURSIVE, ActiveFiles::LISTED);
}

void CDependencyApp::ReportCannotOpen(const std::string& includer, const std::string& path) {
    // No error mode applies: the file is there, and a rule without it would be wrong.
    std::fprintf(stderr, "incwalk32: %s: unable to open include file %s\n", includer.c_str(),
                 path.c_str());
    m_nExitCode = EXIT_CANNOT_OPEN;
}

void CDependencyApp::ReportNoFiles(const std::string& target) {
    if (Reports(m_nErrNoFiles)) {
        std::fprintf(stderr, "incwalk32: no files found for %s\n", target.c_str());
    }
    ApplyMode(m_nErrNoFiles, EXIT_NO_FILES, ActiveFiles::NOT_LISTED);
}

void CDependencyApp::ReportUnknownExtension(const std::string& extension) {
    if (Reports(m_nErrUnknownExt)) {
        std::fprintf(stderr, "incwalk32: unknown extension '%s', use '=ext' with target\n",
                     extension.c_str());
    }
    ApplyMode(m_nErrUnknownExt, EXIT_UNKNOWN_EXT, ActiveFiles::NOT_LISTED);
}

void CDependencyApp::ReportOutOfMemory() {
    std::fputs("incwalk32: sorry, out of memory\n", stderr);
    m_nExitCode = EXIT_SORRY;
}

void CDependencyApp::ReportFileError(unsigned long error) {
    std::fprintf(stderr, "incwalk32: sorry, file I/O error %lu\n", error);
    m_nExitCode = EXIT_SORRY;
}

bool CDependencyApp::Reports(int mode) {
    return mode >= 1;
}

bool CDependencyApp::EndsRun(int mode) {
    return mode >= 2;
}

void CDependencyApp::ApplyMode(int mode, int code, ActiveFiles activeFiles) {
    if (mode == 3 && activeFiles == ActiveFiles::LISTED) DumpActiveFiles();
    if (EndsRun(mode)) m_nExitCode = code;
}

void CDependencyApp::DumpActiveFiles() {
    WriteStandardOutput("Active source files (most deeply nested first):\n");
    for (auto entry = m_activeFiles.rbegin(); entry != m_activeFiles.rend(); ++entry) {
        WriteStandardOutput("  ");
        WriteStandardOutput(**entry);
        WriteStandardOutput("\n");
    }
}
