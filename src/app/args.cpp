// Arguments and options: every argument of the command line and of response files comes here.
#include <cstring>

#include "app/dependency_app.h"
#include "output/output_stream.h"
#include "platform/ascii.h"
#include "platform/platform.h"
#include "targets/file_search.h"

namespace {

// A leading double quote is dropped and the text ends at the next one.
std::string Unquoted(const char* text) {
    if (*text != '"') return text;
    ++text;
    const char* close = std::strchr(text, '"');
    return close != nullptr ? std::string(text, close) : std::string(text);
}

bool IsNologo(const char* word) {
    static const char NOLOGO[] = "NOLOGO";
    for (size_t i = 0; i < sizeof NOLOGO; ++i) {
        if (AsciiUpper(word[i]) != NOLOGO[i]) return false;
    }
    return true;
}

int ErrorModeOf(CDependencyApp& app, char letter, int** mode) {
    switch (AsciiUpper(letter)) {
        case 'F':
            *mode = &app.m_nErrNotFound;
            return 1;
        case 'R':
            *mode = &app.m_nErrRecursive;
            return 1;
        case 'T':
            *mode = &app.m_nErrNoFiles;
            return 1;
        case 'X':
            *mode = &app.m_nErrUnknownExt;
            return 1;
        default:
            return 0;
    }
}

}  // namespace

int CDependencyApp::ParseArgs(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        char* arg = argv[i];
        int accepted;
        if (arg[0] == '/' || arg[0] == '-') {
            accepted = ParseOption(arg);
        } else if (arg[0] == '@') {
            accepted = ReadResponseFile(arg + 1);
        } else {
            const char* equals = std::strchr(arg, '=');
            const char* dot = std::strchr(arg, '.');
            if (equals == nullptr || (dot != nullptr && dot < equals)) {
                accepted = AddTarget(arg);
            } else {
                accepted = AddMacro(arg);
            }
        }
        if (!accepted) return 0;
    }
    return 1;
}

namespace {

// What the text of an option is. A file or directory name loses its double quotes: no Windows
// name holds one, and a response file keeps them in an option's text, where they are the only way
// to write a name with blanks. A name the run looks up or writes into the output is lower-cased;
// the name of the file the run makes keeps its case, as the file will. A /U text is the caller's
// own and stays as typed.
enum class OptionText { LOOKED_UP_NAME, CREATED_NAME, AS_TYPED };

// The options that need text after their letter: what a missing text is rejected with, and
// where the text goes.
struct CTextOption {
    char letter;
    ArgProblem missing;
    void (CDependencyApp::*store)(const char*);
    OptionText text;
};

const CTextOption TEXT_OPTIONS[] = {
    {'F', ArgProblem::MISSING_MAKEFILE, &CDependencyApp::SetMakefile, OptionText::CREATED_NAME},
    {'I', ArgProblem::MISSING_INCLUDE_PATH, &CDependencyApp::AddIncludePath,
     OptionText::LOOKED_UP_NAME},
    {'O', ArgProblem::MISSING_OBJECT_PATH, &CDependencyApp::SetObjPath, OptionText::LOOKED_UP_NAME},
    {'U', ArgProblem::MISSING_UNIVERSAL, &CDependencyApp::AddUniversal, OptionText::AS_TYPED},
    {'X', ArgProblem::MISSING_EXCLUDE, &CDependencyApp::AddExclude, OptionText::LOOKED_UP_NAME},
};

std::string WithoutQuotes(const char* text) {
    std::string name;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p != '"') name += *p;
    }
    return name;
}

const CTextOption* FindTextOption(char letter) {
    for (const CTextOption& option : TEXT_OPTIONS) {
        if (option.letter == letter) return &option;
    }
    return nullptr;
}

}  // namespace

int CDependencyApp::ParseOption(char* arg) {
    const char letter = AsciiUpper(arg[1]);
    const char* text = arg[1] != '\0' ? arg + 2 : arg + 1;
    if (const CTextOption* option = FindTextOption(letter)) {
        std::string stored =
            option->text == OptionText::AS_TYPED ? std::string(text) : WithoutQuotes(text);
        if (stored.empty()) {
            ArgError(option->missing);
            return 0;
        }
        if (option->text == OptionText::LOOKED_UP_NAME) Platform().LowerCase(stored);
        (this->*option->store)(stored.c_str());
        return 1;
    }
    switch (letter) {
        case '?':
            Usage();
            return 0;
        case 'A':
            m_bAbsolutePaths = 1;
            if (text[0] == '-') m_bOmitDrive = 1;
            return 1;
        case 'E':
            return ParseErrorMode(text);
        case 'G':
            return ParseGeneratedMacros(text);
        case 'H':
            m_bHierarchical = 1;
            return 1;
        case 'M':
            m_bMacroFormat = 1;
            return 1;
        case 'N':
            if (!IsNologo(arg + 1)) break;
            m_bBanner = 0;
            return 1;
        case 'P':
            m_bEmptyRules = 1;
            return 1;
        case 'S':
            m_bSystemIncludes = 1;
            return 1;
        default:
            break;
    }
    ArgError(ArgProblem::INVALID_OPTION, arg);
    return 0;
}

int CDependencyApp::ParseErrorMode(const char* text) {
    int* mode = nullptr;
    if (!ErrorModeOf(*this, text[0], &mode) || text[1] < '0' || text[1] > '3') {
        ArgError(ArgProblem::INVALID_ERROR_MODE);
        return 0;
    }
    *mode = text[1] - '0';
    return 1;
}

int CDependencyApp::ParseGeneratedMacros(const char* text) {
    std::string letters(text);
    Platform().LowerCase(letters);
    for (size_t i = 0; i < letters.size(); ++i) {
        if (letters[i] == 'o') {
            m_bMainObj = 1;
            if (i + 1 < letters.size() && letters[i + 1] == '+') {
                m_bMainObjResponse = 1;
                ++i;
            }
        } else if (letters[i] == 't') {
            m_bMainDep = 1;
        } else {
            // Flags set by earlier letters stay set; the run ends anyway.
            ArgError(ArgProblem::INVALID_MACRO_OPTION);
            return 0;
        }
    }
    return 1;
}

int CDependencyApp::AddTarget(char* text) {
    const std::string target = Unquoted(text);
    const size_t equals = target.find('=');
    if (equals == std::string::npos) {
        m_targets.push_back(target);
        m_targetExts.emplace_back();
        return 1;
    }
    if (equals == 0 || equals + 1 == target.size()) {
        ArgError(ArgProblem::INVALID_TARGET, target.c_str());
        return 0;
    }
    m_targets.push_back(target.substr(0, equals));
    // Three characters, not bytes: a multibyte character is never cut in two.
    size_t end = equals + 1;
    for (int taken = 0; taken < 3 && end < target.size(); ++taken)
        end += Platform().CharLength(target.c_str() + end);
    m_targetExts.push_back(target.substr(equals + 1, end - equals - 1));
    return 1;
}

int CDependencyApp::AddMacro(char* text) {
    std::string definition = Unquoted(text);
    if (definition.find('=') == std::string::npos) definition += '=';
    m_macros.push_back(definition);
    return 1;
}

void CDependencyApp::AddIncludePath(const char* text) {
    m_strIncludePath += text;
    m_strIncludePath += ';';
}

void CDependencyApp::SetObjPath(const char* text) {
    m_strObjPath = text;
    // The trail byte of a double-byte character may be a backslash; a colon is never one.
    if (!EndsWithBackslash(m_strObjPath) && m_strObjPath.back() != ':') m_strObjPath += '\\';
}

void CDependencyApp::SetMakefile(const char* text) {
    m_strMakefile = text;
}

void CDependencyApp::AddExclude(const char* text) {
    m_excludes.emplace_back(text);
}

void CDependencyApp::AddUniversal(const char* text) {
    m_universals.emplace_back(text);
}

int CDependencyApp::IsExcluded(const std::string& name) const {
    for (const std::string& exclude : m_excludes) {
        if (exclude == name) return 1;
    }
    return 0;
}
