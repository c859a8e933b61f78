#include "platform/text_file.h"

#include <cstring>
#include <new>

CTextFile::~CTextFile() {
    CTextFile::Close();
}

bool CTextFile::OpenText(const char* name) {
    CTextFile::Close();
    FileHandle file = Platform().OpenFile(name);
    if (file == INVALID_FILE_HANDLE) return false;
    // The buffer lives only while the file is open: a deep include chain keeps one reader per
    // level, but only the innermost file is open.
    m_pBuffer = new (std::nothrow) char[BUFFER_SIZE];
    if (m_pBuffer == nullptr) {
        Platform().CloseFile(file);
        throw std::bad_alloc();
    }
    m_hFile = file;
    m_nBufferPos = 0;
    m_nNext = m_nEnd = 0;
    m_bEof = false;
    return true;
}

void CTextFile::Close() {
    if (m_hFile != INVALID_FILE_HANDLE) {
        Platform().CloseFile(m_hFile);
        m_hFile = INVALID_FILE_HANDLE;
    }
    delete[] m_pBuffer;
    m_pBuffer = nullptr;
    m_nNext = m_nEnd = 0;
}

bool CTextFile::Fill() {
    if (m_bEof) return false;
    int kept = m_nEnd - m_nNext;
    if (kept > 0) std::memmove(m_pBuffer, m_pBuffer + m_nNext, static_cast<size_t>(kept));
    m_nBufferPos += m_nNext;
    m_nNext = 0;
    m_nEnd = kept;
    unsigned long error = 0;
    long got = Platform().ReadFile(m_hFile, m_pBuffer + kept,
                                   static_cast<size_t>(BUFFER_SIZE - kept), error);
    if (got < 0) throw CFileException(error);
    if (got == 0) {
        m_bEof = true;
        return false;
    }
    m_nEnd += static_cast<int>(got);
    return true;
}

int CTextFile::ReadLine(char* buffer, int size) {
    int stored = 0;
    while (stored < size - 1) {
        if (m_nNext == m_nEnd && !Fill()) break;
        char c = m_pBuffer[m_nNext];
        if (c == '\r') {
            // A CR LF pair reads as LF; the LF may still be in the file.
            if (m_nNext + 1 == m_nEnd) Fill();
            if (m_nNext + 1 < m_nEnd && m_pBuffer[m_nNext + 1] == '\n') {
                ++m_nNext;
                c = '\n';
            }
        }
        ++m_nNext;
        buffer[stored++] = c;
        if (c == '\n') break;
    }
    buffer[stored] = '\0';
    return stored;
}

void CTextFile::Seek(int64_t position) {
    unsigned long error = 0;
    if (!Platform().SeekFile(m_hFile, position, error)) throw CFileException(error);
    m_nBufferPos = position;
    m_nNext = m_nEnd = 0;
    m_bEof = false;
}
