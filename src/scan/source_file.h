// The line reader of one source file: yields its include names in line order and can close its
// file and reopen it at the same place, so that a deep include chain keeps only one file open.
#pragma once

#include <cstdint>
#include <string>

#include "platform/text_file.h"

// The line buffer shared by every reader; reading is not reentrant.
const int LINE_BUFFER_SIZE = 2000;
extern char g_szLine[LINE_BUFFER_SIZE];

class CSourceFile : public CTextFile {
public:
    CSourceFile() = default;

    // Opens `name` read-only; `scanSystem` makes angle includes count.
    int Open(const char* name, int scanSystem);
    // Saves the position and closes the file.
    void Close() override;
    // Opens the file again and continues at the saved position; 0 when it cannot be opened.
    int Reopen();
    // The next include name, opening delimiter first (`"a.h` or `<stdio.h`); 0 at the end.
    int ReadInclude(std::string& name);
    // Blanks the comments of one line in place; a block comment carries over to the next line.
    void StripComments(char* line);

    int64_t m_nSavedPos = -1;
    int m_bInComment = 0;
    int m_bScanSystem = 0;
};
