// A buffered, read-only text file on top of the platform's raw files.
//
// It reads in binary and turns CR LF into LF itself, on every platform: positions are then plain
// byte offsets of the file, so a position told before a close seeks back to the same line after a
// reopen (the Windows C runtime's text-mode ftell gets this wrong for LF-only files).
//
// A close keeps the bytes read but not yet consumed, and a reopen that continues inside them
// reads nothing again: the scan closes and reopens a file around every include line, and the
// files do not change during a run. When the kept bytes reach the end of the file, a reopen
// needs nothing from the file and does not open it; most headers are read whole at once.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// A read or seek of an open file failed; carries the operating system's error number.
class CFileException {
public:
    explicit CFileException(unsigned long error) : m_nError(error) {}
    unsigned long m_nError;
};

class CTextFile {
public:
    // Sources and headers are disk files; a response file may be any readable file.
    explicit CTextFile(OpenScope scope = OpenScope::DISK_FILE) : m_scope(scope) {}
    CTextFile(const CTextFile&) = delete;
    CTextFile& operator=(const CTextFile&) = delete;
    virtual ~CTextFile();

    // Whether an open continues with the bytes a close kept (a reopen of the same file).
    enum class KeepRead { no, yes };

    // Opens `name` read-only; false when it cannot be opened (nothing is reported).
    bool OpenText(const char* name, KeepRead keep = KeepRead::no);
    bool IsOpen() const { return m_bOpen; }
    // The name the file was last opened by; empty before.
    const std::string& Name() const { return m_strName; }
    // What the first open learned of the file: its size and its identity, or after a failure,
    // whether the name reached no disk file.
    const CFileFacts& Facts() const { return m_facts; }

    // Reads the next line into `buffer` as fgets does: at most size - 1 characters, up to and
    // including the line end, then a terminating zero. Returns the number of characters stored
    // (a line may hold NUL bytes), or 0 at the end of the file. Throws CFileException on a read
    // error.
    int ReadLine(char* buffer, int size);

    // The byte offset of the next character to be read.
    int64_t Tell() const { return m_nBufferPos + m_nNext; }
    // Continues reading at byte offset `position`. Throws CFileException when the file cannot
    // be opened or positioned there.
    void Seek(int64_t position);

    // Closes the file, keeping the bytes read and not yet consumed for a reopen.
    virtual void Close();

private:
    // Reads more of the file behind the unread bytes; false at the end of the file.
    bool Fill();
    // Makes the buffer a full-sized one, keeping the unread bytes at its start.
    void MakeRoomToRead();
    void DropBuffer();
    // Notes the end of the file once the buffer holds its last byte.
    void NoteEndOfFile();
    // Opens the file of a reopen that needed none, now that it must be read elsewhere.
    void OpenHandle();

    static const int BUFFER_SIZE = 16 * 1024;

    OpenScope m_scope;
    std::string m_strName;
    CFileFacts m_facts;
    bool m_bOpen = false;
    FileHandle m_hFile = INVALID_FILE_HANDLE;  // none after a reopen that needed no file
    int64_t m_nFileSize = -1;                  // -1: no size to trust (a pipe, or a size of 0)
    char* m_pBuffer = nullptr;
    int m_nCapacity = 0;
    int64_t m_nBufferPos = 0;     // file offset of m_pBuffer[0]
    int m_nNext = 0;              // next unread byte in the buffer
    int m_nEnd = 0;               // bytes held in the buffer
    bool m_bEof = false;          // the buffer holds the file up to its end
    bool m_bSeekPending = false;  // the handle is not at m_nBufferPos + m_nEnd
};
