#include "platform/text_file.h"

#include <cstring>

CTextFile::~CTextFile() {
    CTextFile::Close();
    DropBuffer();
}

void CTextFile::DropBuffer() {
    delete[] m_pBuffer;
    m_pBuffer = nullptr;
    m_nCapacity = 0;
    m_nNext = m_nEnd = 0;
}

bool CTextFile::OpenText(const char* name, KeepRead keep) {
    CTextFile::Close();
    if (keep == KeepRead::yes && m_bEof) {
        // The kept bytes run to the end of the file: there is nothing left to read from it.
        m_bOpen = true;
        return true;
    }
    CFileFacts facts;
    FileHandle file = Platform().OpenFile(name, m_scope, facts);
    if (keep == KeepRead::no) m_facts = facts;
    if (file == INVALID_FILE_HANDLE) return false;
    m_hFile = file;
    m_bOpen = true;
    if (keep == KeepRead::yes) {
        // The handle stands at the start; the kept bytes end further on.
        m_bSeekPending = m_nBufferPos + m_nEnd != 0;
    } else {
        m_strName.assign(name);
        // A size is where a file ended when it was opened, so reading may stop there; but files
        // that a kernel makes as they are read (those in /proc) report 0 whatever they hold.
        m_nFileSize = facts.size > 0 ? facts.size : -1;
        DropBuffer();
        m_nBufferPos = 0;
        m_bEof = false;
        m_bSeekPending = false;
        NoteEndOfFile();
    }
    return true;
}

void CTextFile::OpenHandle() {
    CFileFacts facts;
    m_hFile = Platform().OpenFile(m_strName.c_str(), m_scope, facts);
    if (m_hFile == INVALID_FILE_HANDLE) throw CFileException(LastSystemError());
}

void CTextFile::Close() {
    if (!m_bOpen) return;
    m_bOpen = false;
    if (m_hFile != INVALID_FILE_HANDLE) {
        Platform().CloseFile(m_hFile);
        m_hFile = INVALID_FILE_HANDLE;
    }
    // A block kept by an earlier close is small already.
    if (m_nCapacity != BUFFER_SIZE) return;
    // Keep only the unread bytes, in a block of their own size: a deep include chain keeps one
    // closed file per level.
    const int unread = m_nEnd - m_nNext;
    char* kept = nullptr;
    if (unread > 0) {
        kept = new char[static_cast<size_t>(unread)];
        std::memcpy(kept, m_pBuffer + m_nNext, static_cast<size_t>(unread));
    }
    const int64_t position = Tell();
    DropBuffer();
    m_pBuffer = kept;
    m_nCapacity = m_nEnd = unread;
    m_nBufferPos = position;
}

void CTextFile::MakeRoomToRead() {
    const int unread = m_nEnd - m_nNext;
    if (m_nCapacity == BUFFER_SIZE) {
        if (m_nNext > 0) std::memmove(m_pBuffer, m_pBuffer + m_nNext, static_cast<size_t>(unread));
    } else {
        char* buffer = new char[BUFFER_SIZE];
        if (unread > 0) std::memcpy(buffer, m_pBuffer + m_nNext, static_cast<size_t>(unread));
        delete[] m_pBuffer;
        m_pBuffer = buffer;
        m_nCapacity = BUFFER_SIZE;
    }
    m_nBufferPos += m_nNext;
    m_nNext = 0;
    m_nEnd = unread;
}

bool CTextFile::Fill() {
    if (m_bEof) return false;
    MakeRoomToRead();
    unsigned long error = 0;
    if (m_bSeekPending) {
        if (!Platform().SeekFile(m_hFile, m_nBufferPos + m_nEnd, error))
            throw CFileException(error);
        m_bSeekPending = false;
    }
    const long got = Platform().ReadFile(m_hFile, m_pBuffer + m_nEnd,
                                         static_cast<size_t>(m_nCapacity - m_nEnd), error);
    if (got < 0) throw CFileException(error);
    if (got == 0) {
        m_bEof = true;
        return false;
    }
    m_nEnd += static_cast<int>(got);
    NoteEndOfFile();
    return true;
}

void CTextFile::NoteEndOfFile() {
    if (m_nFileSize >= 0 && m_nBufferPos + m_nEnd >= m_nFileSize) m_bEof = true;
}

int CTextFile::ReadLine(char* buffer, int size) {
    int stored = 0;
    while (stored < size - 1) {
        if (m_nNext == m_nEnd && !Fill()) break;
        const char* start = m_pBuffer + m_nNext;
        const size_t room = static_cast<size_t>(size - 1 - stored);
        const size_t available = static_cast<size_t>(m_nEnd - m_nNext);
        const size_t span = available < room ? available : room;
        const char* lineEnd = static_cast<const char*>(std::memchr(start, '\n', span));
        const size_t length = lineEnd != nullptr ? static_cast<size_t>(lineEnd - start) + 1 : span;
        const char* cr = static_cast<const char*>(std::memchr(start, '\r', length));
        const size_t plain = cr != nullptr ? static_cast<size_t>(cr - start) : length;
        std::memcpy(buffer + stored, start, plain);
        stored += static_cast<int>(plain);
        m_nNext += static_cast<int>(plain);
        if (cr == nullptr) {
            if (lineEnd != nullptr) break;
            continue;
        }
        // A CR LF pair reads as LF; the LF may still be in the file.
        if (m_nNext + 1 == m_nEnd) Fill();
        if (m_nNext + 1 < m_nEnd && m_pBuffer[m_nNext + 1] == '\n') {
            m_nNext += 2;
            buffer[stored++] = '\n';
            break;
        }
        ++m_nNext;
        buffer[stored++] = '\r';
    }
    buffer[stored] = '\0';
    return stored;
}

void CTextFile::Seek(int64_t position) {
    if (position >= m_nBufferPos && position <= m_nBufferPos + m_nEnd) {
        m_nNext = static_cast<int>(position - m_nBufferPos);
        return;
    }
    // Outside the bytes at hand: start afresh there.
    if (m_hFile == INVALID_FILE_HANDLE) OpenHandle();
    unsigned long error = 0;
    if (!Platform().SeekFile(m_hFile, position, error)) throw CFileException(error);
    m_nBufferPos = position;
    m_nNext = m_nEnd = 0;
    m_bEof = false;
    m_bSeekPending = false;
    NoteEndOfFile();
}
