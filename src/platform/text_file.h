// A buffered, read-only text file on top of the platform's raw files.
//
// It reads in binary and turns CR LF into LF itself, on every platform: positions are then plain
// byte offsets of the file, so a position told before a close seeks back to the same line after a
// reopen (the Windows C runtime's text-mode ftell gets this wrong for LF-only files).
#pragma once

#include <cstdint>

#include "platform/platform.h"

// A read or seek of an open file failed; carries the operating system's error number.
class CFileException {
public:
    explicit CFileException(unsigned long error) : m_nError(error) {}
    unsigned long m_nError;
};

class CTextFile {
public:
    CTextFile() = default;
    CTextFile(const CTextFile&) = delete;
    CTextFile& operator=(const CTextFile&) = delete;
    virtual ~CTextFile();

    // Opens `name` read-only; false when it cannot be opened (nothing is reported).
    bool OpenText(const char* name);
    bool IsOpen() const { return m_hFile != INVALID_FILE_HANDLE; }

    // Reads the next line into `buffer` as fgets does: at most size - 1 characters, up to and
    // including the line end, then a terminating zero. Returns the number of characters stored
    // (a line may hold NUL bytes), or 0 at the end of the file. Throws CFileException on a read
    // error.
    int ReadLine(char* buffer, int size);

    // The byte offset of the next character to be read.
    int64_t Tell() const { return m_nBufferPos + m_nNext; }
    // Continues reading at byte offset `position`. Throws CFileException on failure.
    void Seek(int64_t position);

    virtual void Close();

private:
    // Refills the buffer, keeping the unread bytes; false at the end of the file.
    bool Fill();

    static const int BUFFER_SIZE = 16 * 1024;

    FileHandle m_hFile = INVALID_FILE_HANDLE;
    char* m_pBuffer = nullptr;
    int64_t m_nBufferPos = 0;  // file offset of m_pBuffer[0]
    int m_nNext = 0;           // next unread byte in the buffer
    int m_nEnd = 0;            // bytes held in the buffer
    bool m_bEof = false;
};
