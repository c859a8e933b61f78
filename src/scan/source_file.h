// The include reader of one source file: yields its include names in line order, and can close
// its file and reopen it at the same place, so that a deep include chain keeps at most one file
// open.
//
// Lines are examined in pieces of at most 1999 characters (a CR LF pair counts as one), each
// piece as a line of its own: a line up to its line end, a longer one cut every 1999 characters.
// A NUL byte ends what is examined of its piece. Comments are blanked (a block comment carries
// over from piece to piece), a string or character literal hides comment markers to the end of
// its piece, and an include line is a piece whose first character after blanks is `#include`.
// The reader finds the pieces and follows the comments in the file's bytes as they are, looking
// only at the characters that can matter (a line end, `#`, `/`, `*`, quotes, a backslash, NUL);
// the few pieces that may be include lines are copied to g_szLine and examined there.
#pragma once

#include <cstdint>
#include <string>

#include "platform/text_file.h"

// The line buffer: a piece that may be an include line is examined there, as a line of its own.
const int LINE_BUFFER_SIZE = 2000;
extern char g_szLine[LINE_BUFFER_SIZE];

class CSourceFile : public CTextFile {
public:
    // `cap`: the largest file read whole (tests make it small to read files through a window).
    explicit CSourceFile(size_t cap = WHOLE_FILE_CAP) : CTextFile(OpenScope::DISK_FILE, cap) {}

    // Opens `name` read-only; `scanSystem` makes angle includes count.
    int Open(const char* name, int scanSystem);
    // Saves the position and closes the file.
    void Close() override;
    // Opens the file again, if its bytes are not all in memory, and continues at the saved
    // position; 0 when it cannot be opened.
    int Reopen();
    // The next include name, opening delimiter first (`"a.h` or `<stdio.h`); 0 at the end.
    int ReadInclude(std::string& name);
    // Blanks the comments of one line in place; a block comment carries over to the next line.
    void StripComments(char* line);

    int64_t m_nSavedPos = -1;
    int m_bInComment = 0;
    int m_bScanSystem = 0;

private:
    // Where the piece that starts at `start` ends, its line end searched from `from` on.
    const char* PieceEnd(const char* start, const char* from) const;
    // Follows the comments from Next() on, piece by piece, consuming the pieces, up to a piece
    // that may be an include line: true with its start, its `#` and the comment state at its
    // start. False once no whole piece is left in memory.
    bool FindIncludePiece(const char*& start, const char*& hash, int& inComment);
    // Examines the piece [start, end) as a line of its own in g_szLine: an include name, or 0.
    int ExamineLine(const char* start, const char* end, int inComment, std::string& name);
    // The include name of a line that StripComments has blanked, or 0.
    int IncludeOfLine(std::string& name) const;
};
