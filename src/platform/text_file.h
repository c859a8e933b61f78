// A read-only text file on top of the platform's raw files, held in memory.
//
// A file that fits the cap is read whole at its first open, and its handle closed at once: the
// scan closes and reopens an includer around every include, and such a reopen then costs nothing.
// A larger file is read through a window of the cap's size, kept across a close; its reopen
// opens the file again and reads on behind the window. The files do not change during a run.
//
// Bytes are kept as the file holds them. ReadLine turns CR LF into LF, on every platform, so that
// positions are plain byte offsets of the file (the Windows C runtime's text-mode ftell gets this
// wrong for LF-only files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

// A read of an open file failed; carries the operating system's error number.
class CFileException {
public:
    explicit CFileException(unsigned long error) : m_nError(error) {}
    unsigned long m_nError;
};

class CTextFile {
public:
    // The largest file read whole at its first open; a larger one is read through a window of this
    // size, so that a deep chain of large files keeps at most this much per level.
    static constexpr size_t WHOLE_FILE_CAP = static_cast<size_t>(1) << 20;
    // The least window a caller may ask for (tests and fuzzers do, to make files large): room
    // for the longest piece the include reader examines at once, and some more.
    static constexpr size_t LEAST_CAP = 2048;

    // Sources and headers are disk files; a response file may be any readable file.
    explicit CTextFile(OpenScope scope = OpenScope::DISK_FILE, size_t cap = WHOLE_FILE_CAP);
    CTextFile(const CTextFile&) = delete;
    CTextFile& operator=(const CTextFile&) = delete;
    virtual ~CTextFile();

    // Opens `name` read-only and reads it, whole when it fits the cap; false when it cannot be
    // opened (nothing is reported). Throws CFileException on a read error.
    bool OpenText(const char* name);
    // Opens the file again after a close, to go on where the close left off; a file whose bytes
    // are all in memory needs no open. False when it cannot be opened.
    bool Reopen();
    bool IsOpen() const { return m_bOpen; }
    // What the open learned of the file: its size and its identity, or after a failure, whether
    // the name reached no disk file.
    const CFileFacts& Facts() const { return m_facts; }

    // Reads the next line into `buffer` as fgets does: at most size - 1 characters, up to and
    // including the line end (CR LF read as LF), then a terminating zero. Returns the number of
    // characters stored (a line may hold NUL bytes), or 0 at the end of the file. Throws
    // CFileException on a read error.
    int ReadLine(char* buffer, int size);

    // The byte offset of the next byte to be read.
    int64_t Tell() const { return m_nWindowPos + static_cast<int64_t>(m_nNext); }

    // Closes the file; what was read and not consumed stays for a reopen.
    virtual void Close();

protected:
    // The unread bytes are [Next(), End()); a NUL byte follows them. Require makes at least
    // `count` of them available unless the file ends first; reading more may move them, so
    // pointers into the bytes are void after a Require that reads.
    void Require(size_t count);
    const char* Next() const { return m_pWindow + m_nNext; }
    const char* End() const { return m_pWindow + m_nEnd; }
    // Whether the bytes in memory run to the end of the file.
    bool AtEndOfFile() const { return m_bEof; }
    // Consumes the unread bytes before `to`.
    void Consume(const char* to) { m_nNext = static_cast<size_t>(to - m_pWindow); }

private:
    // Reads more of the file behind the unread bytes; false at the end of the file.
    bool ReadMore();
    // Makes room behind the unread bytes: moves them to the start, or grows the window up to the
    // cap.
    void MakeRoom();
    void CloseHandle();
    void DropWindow();

    OpenScope m_scope;
    size_t m_nCap;
    std::string m_strName;  // for a reopen, of a file not all in memory
    CFileFacts m_facts;
    bool m_bOpen = false;
    FileHandle m_hFile = INVALID_FILE_HANDLE;  // none once every byte is in memory
    int64_t m_nFileSize = -1;                  // -1: no size to trust (a pipe, or a size of 0)
    char* m_pWindow = nullptr;                 // m_nCapacity bytes and a terminating NUL
    size_t m_nCapacity = 0;
    int64_t m_nWindowPos = 0;  // file offset of m_pWindow[0]
    size_t m_nNext = 0;        // the next unread byte
    size_t m_nEnd = 0;         // bytes held
    bool m_bEof = false;       // the window holds the file up to its end
};
