// Finding files: a name, wildcards allowed, in the current directory or along a directory list;
// and the path forms every subsystem shares.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/separators.h"

// A name that is not absolute is looked for only along the list, never in the current directory.
const int SEARCH_LIST_ONLY = 0x8000;

// A cursor over a `;`-separated directory list.
class CPathList {
public:
    CPathList() = default;
    ~CPathList();
    CPathList(const CPathList&) = delete;
    CPathList& operator=(const CPathList&) = delete;

    // `spec` is the list itself, or `>NAME` for the value of the environment variable NAME.
    // False when that variable does not exist (the list stays unset).
    bool SetList(std::string_view spec);
    // The next directory; false, with `out` empty, when none is left. Blanks and `;` before an
    // entry are skipped.
    bool NextDir(std::string& out);
    // Makes the list unset again.
    void Clear() { m_pNext = nullptr; }

private:
    char* m_pBuffer = nullptr;  // owned; reused by the next list that fits m_nCapacity
    char* m_pNext = nullptr;
    size_t m_nCapacity = 0;
};

class CFileSearch {
public:
    CFileSearch() = default;
    ~CFileSearch();
    CFileSearch(const CFileSearch&) = delete;
    CFileSearch& operator=(const CFileSearch&) = delete;

    bool FindFirst(const std::string& name, std::string_view listSpec, int flags);
    bool FindFirst(const std::string& name, int flags) {
        return FindFirst(name, std::string_view(), flags);
    }
    // Hands out the current match and advances; false, with `out` empty, when there is none.
    bool FindNext(std::string& out);

    std::string m_strListDir;
    std::string m_strDirPart;
    std::string m_strNamePart;
    CPathList m_list;  // one for the object's life, set anew by every FindFirst
    std::string m_strMatch;
    std::string m_strPattern;  // what the listing is asked for, kept to spare an allocation
    CFindData m_findData;
    FindHandle m_hFind = INVALID_FIND_HANDLE;

private:
    void CloseListing();
    bool IsAbsolute() const;
    void SetMatchFromEntry();
};

// Splits a searched name into its directory part (ending in its separator or drive colon) and
// the rest.
void SplitSearchName(const std::string& name, std::string& dirPart, std::string& namePart);
// Appends `part` to `path`, inserting a backslash unless one of them supplies it.
void AppendPath(std::string& path, const std::string& part);
// The normal form: the full path, lower-cased. False when the full path cannot be made.
bool MakeNormalForm(const std::string& name, std::string& out);
// The directory form: the full path cut after its last backslash, lower-cased.
bool MakeDirectoryForm(const std::string& name, std::string& out);
// The length of the character at `text` in the installed platform's code page.
inline size_t PlatformCharLength(const char* text) {
    return Platform().CharLength(text);
}
// The position of the last backslash (never the trail byte of a multibyte character), or with
// Slash::TOO of the last backslash or slash; npos when there is none.
inline size_t FindLastBackslash(const std::string& text, Slash slash = Slash::NOT) {
    return LastSeparatorOf(text.data(), text.size(), slash, PlatformCharLength);
}
// The first backslash at or after `from` (a character boundary), walking the text character by
// character, or npos.
size_t WalkToBackslash(const std::string& text, size_t from);
// The same, at the cost of a byte search where no multibyte character is near.
inline size_t FindBackslash(const std::string& text, size_t from) {
    const size_t candidate = text.find('\\', from);
    // A trail byte follows a byte of 0x80 or more; only behind one is the text walked.
    if (candidate == std::string::npos || candidate == from ||
        static_cast<unsigned char>(text[candidate - 1]) < 0x80) {
        return candidate;
    }
    return WalkToBackslash(text, from);
}
// Whether the text's last character is a backslash.
inline bool EndsWithBackslash(const std::string& text) {
    return EndsWithBackslash(text, PlatformCharLength);
}
// `path` cut after its last backslash, which stays; empty when it has none.
std::string DirectoryOf(const std::string& path);
