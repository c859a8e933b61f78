#include "scan/source_file.h"

#include <cstring>

char g_szLine[LINE_BUFFER_SIZE];

namespace {

const char* SkipBlanks(const char* p) {
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

}  // namespace

int CSourceFile::Open(const char* name, int scanSystem) {
    if (!OpenText(name)) return 0;
    m_bScanSystem = scanSystem;
    return 1;
}

void CSourceFile::Close() {
    if (!IsOpen()) return;
    m_nSavedPos = Tell();
    CTextFile::Close();
}

int CSourceFile::Reopen() {
    if (Name().empty() || !OpenText(Name().c_str(), KeepRead::yes)) return 0;
    Seek(m_nSavedPos);
    m_nSavedPos = -1;
    return 1;
}

int CSourceFile::ReadInclude(std::string& name) {
    while (ReadLine(g_szLine, LINE_BUFFER_SIZE) > 0) {
        StripComments(g_szLine);
        const char* p = SkipBlanks(g_szLine);
        if (std::strncmp(p, "#include", 8) != 0) continue;
        p = SkipBlanks(p + 8);
        char close;
        if (*p == '"') {
            close = '"';
        } else if (*p == '<' && m_bScanSystem) {
            close = '>';
        } else {
            continue;
        }
        const char* end = std::strchr(p + 1, close);
        if (end == nullptr) continue;
        name.assign(p, end);
        return 1;
    }
    return 0;
}

void CSourceFile::StripComments(char* line) {
    // Jumps from one character that matters to the next: most lines hold none.
    char quote = 0;
    char* p = line;
    for (;;) {
        if (m_bInComment) {
            char* close = std::strstr(p, "*/");
            if (close == nullptr) {
                std::memset(p, ' ', std::strlen(p));
                return;
            }
            std::memset(p, ' ', static_cast<size_t>(close + 2 - p));
            p = close + 2;
            m_bInComment = 0;
        } else if (quote != 0) {
            // Inside a literal nothing changes; a backslash hides the character after it.
            while (*p != '\0' && *p != quote && *p != '\\')
                ++p;
            if (*p == '\0') return;
            if (*p == '\\') {
                p += p[1] != '\0' ? 2 : 1;
            } else {
                quote = 0;
                ++p;
            }
        } else {
            p = std::strpbrk(p, "/\"'");
            if (p == nullptr) return;
            if (p[0] == '/' && p[1] == '/') {
                *p = '\0';
                return;
            }
            if (p[0] == '/' && p[1] == '*') {
                p[0] = p[1] = ' ';
                p += 2;
                m_bInComment = 1;
            } else {
                if (*p != '/') quote = *p;
                ++p;
            }
        }
    }
}
