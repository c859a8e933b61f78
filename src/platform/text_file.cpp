#include "platform/text_file.h"

#include <algorithm>
#include <cstring>

namespace {

// The first window of a file that tells no size; it grows as the file does, up to the cap.
const size_t FIRST_WINDOW = 16 * 1024;

}  // namespace

CTextFile::CTextFile(OpenScope scope, size_t cap)
    : m_scope(scope), m_nCap(std::max(cap, LEAST_CAP)) {}

CTextFile::~CTextFile() {
    CloseHandle();
    DropWindow();
}

void CTextFile::CloseHandle() {
    if (m_hFile == INVALID_FILE_HANDLE) return;
    Platform().CloseFile(m_hFile);
    m_hFile = INVALID_FILE_HANDLE;
}

void CTextFile::DropWindow() {
    delete[] m_pWindow;
    m_pWindow = nullptr;
    m_nCapacity = m_nNext = m_nEnd = 0;
    m_nWindowPos = 0;
    m_bEof = false;
}

bool CTextFile::OpenText(const char* name) {
    Close();
    DropWindow();
    m_strName.clear();
    FileHandle file = Platform().OpenFile(name, m_scope, m_facts);
    if (file == INVALID_FILE_HANDLE) return false;
    m_hFile = file;
    m_bOpen = true;
    // A size is where a file ended when it was opened, so reading may stop there; but files that
    // a kernel makes as they are read (those in /proc) report 0 whatever they hold.
    m_nFileSize = m_facts.size > 0 ? m_facts.size : -1;
    Require(m_nCap);  // the whole file when it fits, and its handle is closed
    // Only a file whose bytes are not all in memory needs its name again, for a reopen.
    if (!m_bEof) m_strName.assign(name);
    return true;
}

bool CTextFile::Reopen() {
    if (m_bOpen) return true;
    if (!m_bEof) {
        CFileFacts facts;
        FileHandle file = Platform().OpenFile(m_strName.c_str(), m_scope, facts);
        if (file == INVALID_FILE_HANDLE) return false;
        // The handle stands at the start; reading goes on behind the window.
        unsigned long error = 0;
        if (!Platform().SeekFile(file, m_nWindowPos + static_cast<int64_t>(m_nEnd), error)) {
            Platform().CloseFile(file);
            throw CFileException(error);
        }
        m_hFile = file;
    }
    m_bOpen = true;
    return true;
}

void CTextFile::Close() {
    if (!m_bOpen) return;
    m_bOpen = false;
    CloseHandle();
}

void CTextFile::Require(size_t count) {
    while (m_nEnd - m_nNext < count && ReadMore()) {
    }
}

void CTextFile::MakeRoom() {
    if (m_nEnd < m_nCapacity) return;
    const size_t unread = m_nEnd - m_nNext;
    size_t capacity = m_nCapacity;
    if (capacity == 0) {
        capacity =
            m_nFileSize > 0
                ? static_cast<size_t>(std::min<int64_t>(m_nFileSize, static_cast<int64_t>(m_nCap)))
                : std::min(FIRST_WINDOW, m_nCap);
    } else if (unread > capacity / 2) {
        capacity = std::min(capacity * 2, m_nCap);
    }
    if (capacity != m_nCapacity) {
        char* window = new char[capacity + 1];
        if (unread > 0) std::memcpy(window, m_pWindow + m_nNext, unread);
        delete[] m_pWindow;
        m_pWindow = window;
        m_nCapacity = capacity;
    } else if (m_nNext > 0) {
        std::memmove(m_pWindow, m_pWindow + m_nNext, unread);
    }
    m_nWindowPos += static_cast<int64_t>(m_nNext);
    m_nNext = 0;
    m_nEnd = unread;
    m_pWindow[m_nEnd] = '\0';
}

// Only while the file is open: a closed file that is not all in memory is reopened first. The
// callers never want more than half the cap, so there is always room behind the unread bytes.
bool CTextFile::ReadMore() {
    if (m_bEof) return false;
    MakeRoom();
    unsigned long error = 0;
    const long got = Platform().ReadFile(m_hFile, m_pWindow + m_nEnd, m_nCapacity - m_nEnd, error);
    if (got < 0) throw CFileException(error);
    m_nEnd += static_cast<size_t>(got);
    m_pWindow[m_nEnd] = '\0';
    if (got == 0 ||
        (m_nFileSize >= 0 && m_nWindowPos + static_cast<int64_t>(m_nEnd) >= m_nFileSize)) {
        m_bEof = true;
        CloseHandle();  // every byte is in memory
    }
    return got > 0;
}

int CTextFile::ReadLine(char* buffer, int size) {
    int stored = 0;
    while (stored < size - 1) {
        if (m_nNext == m_nEnd && !ReadMore()) break;
        const char* start = m_pWindow + m_nNext;
        const size_t room = static_cast<size_t>(size - 1 - stored);
        const size_t available = m_nEnd - m_nNext;
        const size_t span = available < room ? available : room;
        const char* lineEnd = static_cast<const char*>(std::memchr(start, '\n', span));
        const size_t length = lineEnd != nullptr ? static_cast<size_t>(lineEnd - start) + 1 : span;
        const char* cr = static_cast<const char*>(std::memchr(start, '\r', length));
        const size_t plain = cr != nullptr ? static_cast<size_t>(cr - start) : length;
        std::memcpy(buffer + stored, start, plain);
        stored += static_cast<int>(plain);
        m_nNext += plain;
        if (cr == nullptr) {
            if (lineEnd != nullptr) break;
            continue;
        }
        // A CR LF pair reads as LF; the LF may still be in the file.
        if (m_nNext + 1 == m_nEnd) ReadMore();
        if (m_nNext + 1 < m_nEnd && m_pWindow[m_nNext + 1] == '\n') {
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
