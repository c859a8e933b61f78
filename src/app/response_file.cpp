#include "app/response_file.h"

#include <cstring>
#include <memory>

#include "app/dependency_app.h"
#include "platform/text_file.h"

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t';
}

char* FindSeparator(char* p) {
    while (*p != '\0' && !IsSeparator(*p))
        ++p;
    return *p != '\0' ? p : nullptr;
}

}  // namespace

void SplitResponseLine(char* line, CArgArray& tokens) {
    char* p = line;
    for (;;) {
        while (IsSeparator(*p))
            ++p;
        if (*p == '\0') return;
        char* token = p;
        tokens.push_back(token);
        char* separator = FindSeparator(p);
        if (separator == nullptr) return;
        char* quote = std::strchr(token, '"');
        if (quote != nullptr && quote < separator) {
            char* close = std::strchr(quote + 1, '"');
            if (close != nullptr) {
                if (close[1] == '\0') return;
                close[1] = '\0';
                p = close + 2;
                continue;
            }
        }
        *separator = '\0';
        p = separator + 1;
    }
}

int CDependencyApp::ReadResponseFile(const char* name) {
    if (m_pszResponseFile != nullptr) {
        ArgError(ArgProblem::NESTED_RESPONSE_FILE);
        return 0;
    }
    // The caller's own file: a pipe or a FIFO (@/dev/stdin) serves as well as a disk file.
    CTextFile file(OpenScope::ANY_FILE);
    if (!file.OpenText(name)) {
        ArgError(ArgProblem::UNOPENED_RESPONSE_FILE, name);
        return 0;
    }
    m_pszResponseFile = name;
    m_nResponseLine = 0;

    // Room for the longest line, its line end and the terminator; one more character tells an
    // over-long line from one that ends right at the limit.
    const int bufferSize = MAX_RESPONSE_LINE + 2;
    std::unique_ptr<char[]> line(new char[bufferSize]);
    CArgArray args;
    for (;;) {
        const int length = file.ReadLine(line.get(), bufferSize);
        if (length == 0) break;
        ++m_nResponseLine;
        const bool hasLineEnd = line[length - 1] == '\n';
        if (length - (hasLineEnd ? 1 : 0) > MAX_RESPONSE_LINE) {
            ArgError(ArgProblem::LONG_RESPONSE_LINE);
            return 0;
        }
        if (hasLineEnd) line[length - 1] = '\0';
        args.clear();
        args.push_back(nullptr);
        SplitResponseLine(line.get(), args);
        if (args.size() > 1 && !ParseArgs(static_cast<int>(args.size()), args.data())) return 0;
    }
    m_pszResponseFile = nullptr;
    return 1;
}
