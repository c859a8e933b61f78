#include "targets/file_search.h"

#include <cstring>

size_t WalkToBackslash(const std::string& text, size_t from) {
    CPlatform& platform = Platform();
    for (size_t i = from; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\\') return i;
        i += c < 0x80 ? 1 : platform.CharLength(text.c_str() + i);
    }
    return std::string::npos;
}

void SplitSearchName(const std::string& name, std::string& dirPart, std::string& namePart) {
    size_t split = FindLastBackslash(name, Slash::TOO);
    if (split == std::string::npos && !name.empty()) split = name.find(':');
    if (split == std::string::npos) {
        dirPart.clear();
        namePart = name;
    } else {
        dirPart.assign(name, 0, split + 1);
        namePart.assign(name, split + 1, std::string::npos);
    }
}

void AppendPath(std::string& path, const std::string& part) {
    if (path.empty()) {
        path = part;
        return;
    }
    if (part.empty()) return;
    if (!EndsWithBackslash(path) && part.front() != '\\') path += '\\';
    path += part;
}

bool MakeNormalForm(const std::string& name, std::string& out) {
    if (!Platform().GetFullPath(name.c_str(), out)) return false;
    Platform().LowerCase(out);
    return true;
}

bool MakeDirectoryForm(const std::string& name, std::string& out) {
    if (!Platform().GetFullPath(name.c_str(), out)) return false;
    const size_t backslash = FindLastBackslash(out);
    out.resize(backslash == std::string::npos ? 0 : backslash + 1);
    Platform().LowerCase(out);
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const size_t backslash = FindLastBackslash(path);
    return backslash == std::string::npos ? std::string() : path.substr(0, backslash + 1);
}

// ---------------------------------------------------------------------------------------------

CPathList::~CPathList() {
    delete[] m_pBuffer;
}

bool CPathList::SetList(std::string_view spec) {
    m_pNext = nullptr;
    std::string variable;
    if (!spec.empty() && spec[0] == '>') {
        if (!Platform().GetEnvironment(std::string(spec.substr(1)).c_str(), variable)) return false;
        spec = variable;
    }
    if (spec.size() + 1 > m_nCapacity) {
        delete[] m_pBuffer;
        m_pBuffer = nullptr;
        m_nCapacity = 0;
        m_pBuffer = new char[spec.size() + 1];
        m_nCapacity = spec.size() + 1;
    }
    std::memcpy(m_pBuffer, spec.data(), spec.size());
    m_pBuffer[spec.size()] = '\0';
    m_pNext = m_pBuffer;
    return true;
}

bool CPathList::NextDir(std::string& out) {
    out.clear();
    if (m_pNext == nullptr) return false;
    while (*m_pNext == ' ' || *m_pNext == ';')
        ++m_pNext;
    if (*m_pNext == '\0') {
        m_pNext = nullptr;
        return false;
    }
    char* entry = m_pNext;
    char* semicolon = std::strchr(entry, ';');
    if (semicolon != nullptr) {
        *semicolon = '\0';
        m_pNext = semicolon + 1;
    } else {
        m_pNext = nullptr;
    }
    out = entry;
    return true;
}

// ---------------------------------------------------------------------------------------------

CFileSearch::~CFileSearch() {
    CloseListing();
}

void CFileSearch::CloseListing() {
    if (m_hFind != INVALID_FIND_HANDLE) {
        Platform().FindClose(m_hFind);
        m_hFind = INVALID_FIND_HANDLE;
    }
}

bool CFileSearch::IsAbsolute() const {
    return (m_strDirPart.size() >= 2 && m_strDirPart[1] == ':') ||
           (!m_strDirPart.empty() && m_strDirPart[0] == '\\');
}

void CFileSearch::SetMatchFromEntry() {
    m_strMatch = m_strListDir;
    AppendPath(m_strMatch, m_strDirPart);
    AppendPath(m_strMatch, m_findData.cFileName);
}

bool CFileSearch::FindFirst(const std::string& name, std::string_view listSpec, int flags) {
    CloseListing();
    SplitSearchName(name, m_strDirPart, m_strNamePart);
    m_list.Clear();
    if (!listSpec.empty()) m_list.SetList(listSpec);
    m_strListDir.clear();
    m_strMatch.clear();

    const bool absolute = IsAbsolute();
    if ((flags & SEARCH_LIST_ONLY) != 0 && !absolute && !m_list.NextDir(m_strListDir)) {
        return false;
    }
    for (;;) {
        if (absolute) {
            m_strPattern = m_strDirPart;
        } else {
            m_strPattern = m_strListDir;
            AppendPath(m_strPattern, m_strDirPart);
        }
        AppendPath(m_strPattern, m_strNamePart);
        m_hFind = Platform().FindFirstFile(m_strPattern.c_str(), m_findData);
        if (m_hFind != INVALID_FIND_HANDLE) {
            SetMatchFromEntry();
            return true;
        }
        if (absolute || !m_list.NextDir(m_strListDir)) return false;
    }
}

bool CFileSearch::FindNext(std::string& out) {
    if (m_strMatch.empty()) {
        out.clear();
        return false;
    }
    out = m_strMatch;
    if (Platform().FindNextFile(m_hFind, m_findData)) {
        SetMatchFromEntry();
    } else {
        CloseListing();
        m_strMatch.clear();
    }
    return true;
}
