#include "scan/source_file.h"

#include <algorithm>
#include <cstring>

#include "scan/byte_search.h"

char g_szLine[LINE_BUFFER_SIZE];

namespace {

// The most characters of a line examined at once: a longer line is cut into pieces of this many.
const size_t PIECE_CHARS = LINE_BUFFER_SIZE - 1;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p))
        ++p;
    return p;
}

bool AllBlank(const char* from, const char* to) {
    for (; from < to; ++from) {
        if (!IsBlank(*from)) return false;
    }
    return true;
}

// Whether `#include` stands at `hash`, after nothing but blanks from `from` on, within the piece
// (up to `limit`) and the bytes in memory (up to `end`). Blanking comments changes no character
// of `#include`: a piece whose first characters after blanks are not those is no include line.
bool IsIncludeAt(const char* from, const char* hash, const char* limit, const char* end) {
    static const char INCLUDE[] = "#include";
    const size_t length = sizeof INCLUDE - 1;
    return hash + length <= limit && hash + length <= end &&
           std::memcmp(hash, INCLUDE, length) == 0 && AllBlank(from, hash);
}

// In a piece that is in a comment from its start at `piece`: the first `/` that a `*` of the
// piece stands before, or the first LF or NUL.
const char* FindCommentEnd(const char* piece, const char* end) {
    const char* q = FindAnyOf<'/', '\n', '\0'>(piece, end);
    while (q < end && *q == '/' && (q == piece || q[-1] != '*'))
        q = FindAnyOf<'/', '\n', '\0'>(q + 1, end);
    return q;
}

// The end of a piece that starts at `start` and whose line ends with the LF at `lineEnd`: the
// LF, unless the piece's characters run out before it. A CR LF pair reads as one character, so a
// line of 1998 characters and CR LF is one piece; cutting it before its LF instead changes nothing
// the reader yields, since a CR is no character that matters and the LF alone holds nothing.
const char* EndAtLineEnd(const char* start, const char* lineEnd) {
    return static_cast<size_t>(lineEnd - start) < PIECE_CHARS ? lineEnd + 1 : start + PIECE_CHARS;
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

// The bytes a close kept are where the reader stopped: the reopen goes on there.
int CSourceFile::Reopen() {
    if (!CTextFile::Reopen()) return 0;
    m_nSavedPos = -1;
    return 1;
}

int CSourceFile::ReadInclude(std::string& name) {
    for (;;) {
        // Whole pieces in memory: the 1999 characters of one, and the LF after a CR.
        if (!AtEndOfFile() && static_cast<size_t>(End() - Next()) <= PIECE_CHARS) {
            Require(PIECE_CHARS + 1);
        }
        if (Next() == End()) return 0;
        const char* start = nullptr;
        const char* hash = nullptr;
        int inComment = 0;
        if (!FindIncludePiece(start, hash, inComment)) continue;
        const char* end = PieceEnd(start, hash);
        const int found = ExamineLine(start, end, inComment, name);
        Consume(end);
        if (found) return 1;
    }
}

const char* CSourceFile::PieceEnd(const char* start, const char* from) const {
    const char* const scanEnd = std::min(End(), start + PIECE_CHARS + 1);
    const char* lineEnd = static_cast<const char*>(
        std::memchr(from, '\n', static_cast<size_t>(std::max(scanEnd - from, std::ptrdiff_t(0)))));
    if (lineEnd != nullptr) return EndAtLineEnd(start, lineEnd);
    return std::min(End(), start + PIECE_CHARS);
}

// The comment state as StripComments leaves it, found by jumping from one character that matters
// to the next. In a piece that starts at `piece`, a character at or beyond `limit` belongs to the
// next piece.
bool CSourceFile::FindIncludePiece(const char*& start, const char*& hash, int& inComment) {
    const char* const end = End();
    // Before the end of the file, a piece is examined only when all of it is in memory.
    const std::ptrdiff_t heldBack = AtEndOfFile() ? 0 : static_cast<std::ptrdiff_t>(PIECE_CHARS);
    const char* piece = Next();
    while (end - piece > heldBack) {
        const char* const limit = piece + PIECE_CHARS;
        const char* const scanEnd = std::min(end, limit + 1);
        const int commentAtStart = m_bInComment;
        // Whether all before `blankFrom` is blanks and comments: a `#include` after more blanks
        // may begin an include line.
        bool atStart = true;
        const char* blankFrom = piece;
        const char* p = piece;
        const char* first = nullptr;  // the first byte the search stops at, when known
        if (!m_bInComment) {
            // Most lines hold nothing that matters: the search stops at their line end first.
            first = FindInCode(piece, scanEnd);
            if (first != scanEnd && *first == '\n' &&
                first - piece < static_cast<std::ptrdiff_t>(PIECE_CHARS)) {
                piece = first + 1;
                continue;
            }
        } else {
            // Most pieces of a comment hold no `*/`, and are passed over looking for slashes.
            const char* q = FindCommentEnd(piece, scanEnd);
            if (q == scanEnd) {
                piece = std::min(end, limit);
                continue;
            }
            if (*q == '\n') {
                piece = EndAtLineEnd(piece, q);
                continue;
            }
            if (q >= limit) {
                piece = limit;
                continue;
            }
            if (*q == '\0') {
                piece = PieceEnd(piece, q);
                continue;
            }
            m_bInComment = 0;
            p = blankFrom = q + 1;
        }
        char quote = 0;
        const char* next = nullptr;  // the start of the next piece
        while (next == nullptr) {
            const char* q = first != nullptr ? first
                            : m_bInComment   ? FindInComment(p, scanEnd)
                            : quote != 0     ? FindInLiteral(p, scanEnd, quote)
                                             : FindInCode(p, scanEnd);
            first = nullptr;
            if (q == scanEnd) {
                next = std::min(end, limit);
                break;
            }
            const char c = *q;
            if (c == '\n') {
                next = EndAtLineEnd(piece, q);
            } else if (q >= limit) {
                next = limit;
            } else if (c == '\0') {
                next = PieceEnd(piece, q);  // nothing of a piece after a NUL byte is examined
            } else if (bytesearch::IsLineEndOrNul(c) || c == '&') {
                p = q + 1;  // a byte the search stops at that does not matter
            } else if (m_bInComment) {
                if (q + 1 < limit && q[1] == '/') {
                    m_bInComment = 0;
                    p = blankFrom = q + 2;
                } else {
                    p = q + 1;
                }
            } else if (quote != 0) {
                if (c == quote) {
                    quote = 0;
                    p = q + 1;
                } else if (q[1] == '\n') {
                    next = EndAtLineEnd(piece, q + 1);
                } else if (q[1] == '\0') {
                    next = PieceEnd(piece, q + 1);
                } else {
                    // A backslash hides the character after it; the piece ends at the limit
                    // should that be the next piece's.
                    p = q + 2;
                }
            } else if (c == '#') {
                if (atStart && IsIncludeAt(blankFrom, q, limit, end)) {
                    Consume(piece);
                    start = piece;
                    hash = q;
                    inComment = commentAtStart;
                    return true;
                }
                atStart = false;
                p = q + 1;
            } else if (c == '/') {
                const char after = q + 1 < limit ? q[1] : '\0';
                if (after == '/') {
                    next = PieceEnd(piece, q);  // the rest of the piece is a comment
                } else if (after == '*') {
                    atStart = atStart && AllBlank(blankFrom, q);
                    m_bInComment = 1;
                    p = q + 2;
                } else {
                    atStart = false;
                    p = q + 1;
                }
            } else {
                atStart = false;
                quote = c;
                p = q + 1;
            }
        }
        piece = next;
    }
    Consume(piece);
    return false;
}

int CSourceFile::ExamineLine(const char* start, const char* end, int inComment, std::string& name) {
    size_t length = static_cast<size_t>(end - start);
    if (length >= 2 && end[-1] == '\n' && end[-2] == '\r') {
        // The one CR LF pair a piece may hold ends it, and reads as LF.
        std::memcpy(g_szLine, start, length - 2);
        g_szLine[length - 2] = '\n';
        --length;
    } else {
        std::memcpy(g_szLine, start, length);
    }
    g_szLine[length] = '\0';
    m_bInComment = inComment;
    StripComments(g_szLine);
    return IncludeOfLine(name);
}

int CSourceFile::IncludeOfLine(std::string& name) const {
    const char* p = SkipBlanks(g_szLine);
    if (std::strncmp(p, "#include", 8) != 0) return 0;
    p = SkipBlanks(p + 8);
    char close;
    if (*p == '"') {
        close = '"';
    } else if (*p == '<' && m_bScanSystem) {
        close = '>';
    } else {
        return 0;
    }
    const char* end = std::strchr(p + 1, close);
    if (end == nullptr) return 0;
    name.assign(p, end);
    return 1;
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
