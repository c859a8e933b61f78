// The platform on POSIX systems: the POSIX file system as Windows would show it.
//
// The POSIX root is drive C:, names match without regard to letter case, and listings come in
// one fixed order (`.`, `..`, then the names upper-cased, byte by byte), so that the core writes
// the same bytes here as on Windows for the same tree.
//
// Case-insensitive names cost a directory listing, so the layer reads each directory at most once
// per run and answers every later probe there from memory. The tool only reads files and nothing
// changes the tree while it runs, so what was read never goes stale within a run.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ascii.h"
#include "platform/dirs_as_written.h"
#include "platform/listing_failure.h"
#include "platform/platform.h"
#include "platform/platform_posix_stats.h"
#include "platform/replacement.h"
#include "platform/separators.h"
#include "platform/text_map.h"

namespace {

// PATH_MAX less its terminating zero: the longest path a POSIX call accepts.
const size_t MAX_FULL_PATH = 4095;

unsigned long g_nDirectoryReads = 0;
unsigned long g_nFileSystemCalls = 0;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

bool HasWildcards(const char* text) {
    return std::strpbrk(text, "*?") != nullptr;
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool IsCDrive(const std::string& windowsPath) {
    return windowsPath.size() >= 2 && windowsPath[1] == ':' && AsciiUpper(windowsPath[0]) == 'C';
}

// The length of the multibyte character at `text` in the current locale; 1 for a byte that
// starts no valid character, so that a scan always advances.
size_t MultibyteLength(const char* text) {
    if (IsAscii(*text)) return 1;
    std::mbstate_t state{};
    size_t length = std::mbrlen(text, strnlen(text, MB_CUR_MAX), &state);
    if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2) || length == 0) {
        return 1;
    }
    return length;
}

// The character after the one at `p`. A byte below 0x80 is a character of its own in every
// locale; a multibyte character may have such trail bytes (a backslash in BIG5 or Shift JIS).
const char* NextChar(const char* p) {
    return IsAscii(*p) ? p + 1 : p + MultibyteLength(p);
}

// Matches a name against a pattern, both upper-cased: `*` any run of characters, `?` exactly one
// (multibyte) character, and once the name is matched whole, what is left of the pattern may be
// dots and stars (`*.*` and `a*.*` match `abc`), as on Windows.
bool MatchWildcards(const char* pattern, const char* name) {
    const char* star = nullptr;
    const char* starName = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            star = pattern++;
            starName = name;
        } else if (*pattern == '?') {
            ++pattern;
            name += MultibyteLength(name);
        } else if (*pattern == *name) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            starName += MultibyteLength(starName);
            name = starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*' || *pattern == '.')
        ++pattern;
    return *pattern == '\0';
}

void JoinPosixPath(const std::string& directory, const char* name, std::string& out) {
    out.assign(directory);
    if (out.back() != '/') out += '/';
    out += name;
}

bool IsDirectoryPath(const std::string& posixPath) {
    struct stat info;
    ++g_nFileSystemCalls;
    return stat(posixPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Replaces a path whose last component is a symbolic link by the link's canonical target, so
// that a loop of links (dir/self -> .) leads back to a directory already read instead of
// growing a path that the kernel refuses after 40 links. The parent is canonical already.
// False for a dangling link.
bool FollowLastLink(std::string& posixPath) {
    struct stat info;
    ++g_nFileSystemCalls;
    if (lstat(posixPath.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    ++g_nFileSystemCalls;
    char* target = realpath(posixPath.c_str(), nullptr);
    if (target == nullptr) return false;
    posixPath.assign(target);
    std::free(target);
    return true;
}

// Windows separators stand between the components of a full path: "C:\" for the root.
void PosixToWindowsPath(const std::string& posixPath, std::string& out) {
    out = "C:";
    out += posixPath;
    std::replace(out.begin(), out.end(), '/', '\\');
}

// Appends `rest` to the root or directory begun in `out`: slashes become backslashes, a run of
// separators one.
void JoinCollapsed(const char* rest, std::string& out) {
    bool afterSeparator = EndsWithBackslash(out, MultibyteLength);
    if (!afterSeparator && *rest != '\0' && !IsSeparator(*rest)) {
        out += '\\';
        afterSeparator = true;
    }
    for (const char* p = rest; *p != '\0';) {
        if (IsSeparator(*p)) {
            if (!afterSeparator) out += '\\';
            afterSeparator = true;
            ++p;
            continue;
        }
        const char* componentEnd = p;
        while (*componentEnd != '\0' && !IsSeparator(*componentEnd))
            componentEnd = NextChar(componentEnd);
        out.append(p, static_cast<size_t>(componentEnd - p));
        afterSeparator = false;
        p = componentEnd;
    }
}

// Where the component that ends before the backslash at `separator` begins, never before `mark`.
size_t ComponentBefore(const std::string& path, size_t separator, size_t mark) {
    const size_t previous = LastSeparatorOf(path.data(), separator, Slash::NOT, MultibyteLength);
    return previous == std::string::npos || previous + 1 < mark ? mark : previous + 1;
}

// Resolves the components of a joined full path from `mark` (the end of its root) on, in place,
// as GetFullPathNameA does (measured under Wine, whose rules these are): `.` goes, `..` takes the
// component before it (never the root), every component but the last loses one trailing dot
// (`a..` is `a.`, `...` is `..`, which then names no parent), and the last component loses all
// its trailing dots and blanks. A last `.` or `..` takes the backslash before it too.
void CollapseDots(std::string& path, size_t mark) {
    size_t p = mark;
    while (p < path.size()) {
        if (path[p] == '.') {
            const char second = p + 1 < path.size() ? path[p + 1] : '\0';
            const char third = p + 2 < path.size() ? path[p + 2] : '\0';
            if (second == '\\') {  // .\ component
                path.erase(p, 2);
                continue;
            }
            if (second == '\0') {  // a last .
                path.resize(p > mark ? p - 1 : p);
                continue;
            }
            if (second == '.' && (third == '\\' || third == '\0')) {
                const size_t start = p > mark ? ComponentBefore(path, p - 1, mark) : p;
                if (third == '\\') {  // ..\ component
                    path.erase(start, p + 3 - start);
                    p = start;
                } else {  // a last ..
                    path.resize(start > mark ? start - 1 : start);
                }
                continue;
            }
        }
        while (p < path.size() && path[p] != '\\')
            p = static_cast<size_t>(NextChar(path.c_str() + p) - path.c_str());
        if (p == path.size()) break;
        if (p > mark && path[p - 1] == '.') {
            path.erase(p - 1, 1);  // the component's last dot; p is at the next component now
        } else {
            ++p;
        }
    }
    size_t end = path.size();
    while (end > mark && (path[end - 1] == ' ' || path[end - 1] == '.'))
        --end;
    path.resize(end);
}

// Appends the components of `rest` to the full path begun in `out`, whose root is `rootLength`
// long, and resolves them as GetFullPathNameA does.
void AppendComponents(const char* rest, std::string& out, size_t rootLength) {
    JoinCollapsed(rest, out);
    // A network root (\\server\share) is followed by its separator.
    const size_t mark =
        rootLength < out.size() && out[rootLength] == '\\' ? rootLength + 1 : rootLength;
    CollapseDots(out, mark);
}

// The last backslash or slash of `name`, or null.
const char* LastSeparator(const char* name) {
    const char* backslash = std::strrchr(name, '\\');
    const char* slash = std::strrchr(name, '/');
    const char* last =
        slash == nullptr || (backslash != nullptr && backslash > slash) ? backslash : slash;
    if (last == nullptr || last == name || IsAscii(last[-1])) return last;
    const size_t separator = LastSeparatorOf(name, std::strlen(name), Slash::TOO, MultibyteLength);
    return separator == std::string::npos ? nullptr : name + separator;
}

// A last component that names an entry of its directory as it stands: not empty, not "." or
// "..", and without the trailing dots and blanks that the full path drops.
bool IsOrdinaryLeaf(const char* leaf) {
    const size_t length = std::strlen(leaf);
    return length != 0 && leaf[length - 1] != '.' && leaf[length - 1] != ' ';
}

enum class Rest { PLAIN, SEPARATORS_TO_JOIN, DOTS_TO_RESOLVE };

// What the rest of a name needs beyond its slashes made backslashes: nothing (most names the scan
// hands over), its runs of separators joined (a directory written with a separator at its end,
// and a name after it), or the component-wise work for a "." or ".." component, a component that
// ends in a dot or a blank at its end. Bytes will do for characters here: a dot or a blank is
// never part of a multibyte character, nor is a backslash after a dot. A trail byte that is a
// backslash before a separator is taken for a run to join, which joining leaves as it is.
Rest ClassifyRest(const char* rest) {
    Rest kind = IsSeparator(rest[0]) ? Rest::SEPARATORS_TO_JOIN : Rest::PLAIN;
    const char* p = rest;
    for (; *p != '\0'; ++p) {
        if (*p == '.') {
            if (p[1] == '\0' || IsSeparator(p[1])) return Rest::DOTS_TO_RESOLVE;
        } else if (IsSeparator(*p) && IsSeparator(p[1])) {
            kind = Rest::SEPARATORS_TO_JOIN;
        }
    }
    return p != rest && p[-1] == ' ' ? Rest::DOTS_TO_RESOLVE : kind;
}

// Appends a rest with no dots to resolve to a full path's root as AppendComponents would. False,
// with nothing appended, when it has some.
bool AppendPlainRest(const char* rest, std::string& out) {
    switch (ClassifyRest(rest)) {
        case Rest::DOTS_TO_RESOLVE:
            return false;
        case Rest::SEPARATORS_TO_JOIN:
            JoinCollapsed(rest, out);
            return true;
        case Rest::PLAIN:
            break;
    }
    if (*rest == '\0') return true;
    if (!EndsWithBackslash(out, MultibyteLength)) out += '\\';
    const size_t start = out.size();
    out += rest;
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '/', '\\');
    return true;
}

// Begins the full path of a UNC name: `\\server\share` is its root, which `..` cannot leave.
// Returns where the rest of the name starts.
const char* StartUncPath(const char* name, std::string& out, size_t& rootLength) {
    out = "\\\\";
    const char* p = name + 2;
    for (int part = 0; part < 2; ++part) {
        const char* end = p;
        while (*end != '\0' && !IsSeparator(*end))
            end = NextChar(end);
        if (part == 1) out += '\\';
        out.append(p, end);
        p = end;
        if (*p == '\0' || part == 1) break;
        ++p;
    }
    rootLength = out.size();
    return p;
}

// Maps the case of `text` in place: ASCII letters directly, every other character as one
// multibyte character of the locale. A byte that starts no valid character stays, and so does a
// character whose other case has another length, because the mapping never moves bytes.
void MapCase(std::string& text, bool upper) {
    // Most names are ASCII through and through: eight characters at a time while they are.
    size_t at = MapAsciiWords(&text[0], text.size(), upper);
    while (at < text.size()) {
        if (IsAscii(text[at])) {
            text[at] = upper ? AsciiUpper(text[at]) : AsciiLower(text[at]);
            ++at;
            continue;
        }
        std::mbstate_t state{};
        wchar_t wide = 0;
        size_t length = std::mbrtowc(&wide, text.data() + at, text.size() - at, &state);
        if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2) || length == 0) {
            ++at;
            continue;
        }
        wint_t mapped = upper ? std::towupper(static_cast<wint_t>(wide))
                              : std::towlower(static_cast<wint_t>(wide));
        if (mapped != static_cast<wint_t>(wide)) {
            char bytes[MB_LEN_MAX];
            std::mbstate_t outState{};
            if (std::wcrtomb(bytes, static_cast<wchar_t>(mapped), &outState) == length) {
                std::memcpy(&text[at], bytes, length);
            }
        }
        at += length;
    }
}

// The key that matches and orders names without regard to letter case: the name upper-cased
// with the same mapping as every other name of the run, non-ASCII letters included.
void AssignUpperKey(const char* name, std::string& key) {
    key.assign(name);
    for (char& c : key) {
        if (!IsAscii(c)) {
            // A multibyte character's trail bytes may look like ASCII letters: the name is
            // mapped character by character.
            key.assign(name);
            MapCase(key, true);
            return;
        }
        c = AsciiUpper(c);
    }
}

// Whether Windows could hold `name` as the name of a file: no control character, none of the
// characters it reserves, no dot or blank at its end (a full path drops them). Only single-byte
// characters count: a trail byte is no character.
bool IsWindowsName(const char* name) {
    char last = '\0';
    for (const char* p = name; *p != '\0'; p = NextChar(p)) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || std::strchr("\"*:<>?\\|", c) != nullptr) return false;
        last = *p;
    }
    return last != '.' && last != ' ';
}

// What an entry is in the Windows view. FIFOs, sockets, devices and links to them or to
// nothing are not there: opening one could block, or reading it never end.
enum class EntryKind : unsigned char { UNKNOWN, FILE, DIRECTORY, OUTSIDE_VIEW };

EntryKind KindOfType(unsigned char type) {
    switch (type) {
        case DT_REG:
            return EntryKind::FILE;
        case DT_DIR:
            return EntryKind::DIRECTORY;
        case DT_LNK:
        case DT_UNKNOWN:
            return EntryKind::UNKNOWN;  // the target, or the file system, must be asked
        default:
            return EntryKind::OUTSIDE_VIEW;
    }
}

EntryKind KindOfMode(mode_t mode) {
    return S_ISREG(mode)   ? EntryKind::FILE
           : S_ISDIR(mode) ? EntryKind::DIRECTORY
                           : EntryKind::OUTSIDE_VIEW;
}

// The new file of the makefile (/F), while it exists: its canonical directory and its name. The
// run never sees it, in no listing and by no name.
struct CHiddenEntry {
    std::string directory;
    std::string name;
};
CHiddenEntry g_hidden;

bool IsHidden(const std::string& directory, const char* name) {
    return !g_hidden.name.empty() && g_hidden.name == name && g_hidden.directory == directory;
}

// One directory entry; `upper` (its name upper-cased) orders and matches it.
struct CDirEntry {
    std::string name;
    std::string upper;
    unsigned char type;  // DT_REG, DT_DIR, DT_LNK...; DT_UNKNOWN where the file system does not say
    mutable EntryKind kind;  // asked of the file system at the first need, for links
};

// Which entries a lookup may deliver: those of the Windows view, or (for a response file, the
// caller's own) also a FIFO, a pipe or a device.
enum class Reach { VIEW, ANY };

// A POSIX directory as read once for the run.
class CDirectory {
public:
    explicit CDirectory(const std::string& posixPath) : m_strPath(posixPath) {}

    // Lists the directory. False with the error number in `error` when it cannot be opened for
    // listing; a listing that fails midway ends the run.
    bool Read(unsigned long& error) {
        ++g_nDirectoryReads;
        ++g_nFileSystemCalls;
        std::unique_ptr<DIR, int (*)(DIR*)> stream(opendir(m_strPath.c_str()), closedir);
        if (stream == nullptr) {
            error = static_cast<unsigned long>(errno);
            return false;
        }
        for (;;) {
            errno = 0;
            const dirent* entry = readdir(stream.get());
            if (entry == nullptr) break;
            if (IsDotOrDotDot(entry->d_name) || !IsWindowsName(entry->d_name) ||
                IsHidden(m_strPath, entry->d_name)) {
                continue;
            }
            m_entries.push_back(
                CDirEntry{entry->d_name, std::string(), entry->d_type, KindOfType(entry->d_type)});
            AssignUpperKey(entry->d_name, m_entries.back().upper);
        }
        if (errno != 0) RaiseListingFailure(static_cast<unsigned long>(errno));
        // Names that differ only in case stay together, ordered by their bytes, so that "the
        // first in listing order" never depends on the order of readdir.
        std::sort(m_entries.begin(), m_entries.end(), [](const CDirEntry& a, const CDirEntry& b) {
            return a.upper != b.upper ? a.upper < b.upper : a.name < b.name;
        });
        IndexByUpper();
        m_bListed = true;
        return true;
    }

    // What `entry` is, asking the file system once for a link or an entry of unknown type.
    EntryKind Kind(const CDirEntry& entry) const {
        if (entry.kind == EntryKind::UNKNOWN) entry.kind = KindAt(entry.name.c_str());
        return entry.kind;
    }

    // What the entry `name` of this directory is, asked of the file system (stat follows links).
    EntryKind KindAt(const char* name) const {
        std::string posixPath;
        JoinPosixPath(m_strPath, name, posixPath);
        struct stat info;
        ++g_nFileSystemCalls;
        return stat(posixPath.c_str(), &info) == 0 ? KindOfMode(info.st_mode)
                                                   : EntryKind::OUTSIDE_VIEW;
    }

    bool Reaches(const CDirEntry& entry, Reach reach) const {
        return reach == Reach::ANY || Kind(entry) != EntryKind::OUTSIDE_VIEW;
    }

    // The entry `name` names: its exact bytes first, else the first in listing order that
    // differs only in letter case. `upper` is `name` upper-cased.
    const CDirEntry* Find(const char* name, const std::string& upper, Reach reach) const {
        const size_t first = FirstOf(upper);
        if (first == NONE) return nullptr;
        const CDirEntry* firstReached = nullptr;
        for (size_t i = first; i < m_entries.size() && m_entries[i].upper == upper; ++i) {
            const CDirEntry& entry = m_entries[i];
            if (entry.name == name) {
                if (Reaches(entry, reach)) return &entry;
            } else if (firstReached == nullptr && Reaches(entry, reach)) {
                firstReached = &entry;
            }
        }
        return firstReached;
    }

    const std::string& Path() const { return m_strPath; }
    // False for a directory that may be searched but not read: only exact names reach into it.
    bool IsListed() const { return m_bListed; }
    const std::vector<CDirEntry>& Entries() const { return m_entries; }

private:
    std::string m_strPath;  // no trailing slash, but for the root
    bool m_bListed = false;
    std::vector<CDirEntry> m_entries;  // in listing order
    static constexpr size_t NONE = static_cast<size_t>(-1);

    // Upper-cased name to the first entry of it, in one block for the directory: open addressing
    // over the entries' own keys, a slot holding an entry's index and one, or 0.
    void IndexByUpper() {
        size_t size = 8;
        while (size < 2 * m_entries.size())
            size *= 2;
        m_slots.assign(size, 0);
        for (size_t i = 0; i < m_entries.size(); ++i) {
            if (i > 0 && m_entries[i].upper == m_entries[i - 1].upper) continue;
            size_t slot = std::hash<std::string>()(m_entries[i].upper) & (size - 1);
            while (m_slots[slot] != 0)
                slot = (slot + 1) & (size - 1);
            m_slots[slot] = static_cast<uint32_t>(i + 1);
        }
    }
    size_t FirstOf(const std::string& upper) const {
        if (m_slots.empty()) return NONE;
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = std::hash<std::string>()(upper) & mask; m_slots[slot] != 0;
             slot = (slot + 1) & mask) {
            if (m_entries[m_slots[slot] - 1].upper == upper) return m_slots[slot] - 1;
        }
        return NONE;
    }

    std::vector<uint32_t> m_slots;
};

// An open listing: the entries of one directory that match a pattern.
struct CFindState {
    static constexpr size_t DONE = static_cast<size_t>(-1);

    const CDirectory* m_pDirectory = nullptr;
    std::string m_strPattern;  // upper-cased
    size_t m_nNext = DONE;     // 0 is ".", 1 is "..", then the entries in listing order
};

class CPosixPlatform final : public CPlatform {
public:
    // A makefile's new file still open goes with the layer: the C library would otherwise flush
    // it at exit through a buffer that is gone.
    ~CPosixPlatform() override { DiscardMakefile(); }

    size_t MaxFullPath() const override { return MAX_FULL_PATH; }
    bool GetFullPath(const char* name, std::string& out) override;

    FindHandle FindFirstFile(const char* pattern, CFindData& data) override;
    bool FindNextFile(FindHandle handle, CFindData& data) override;
    void FindClose(FindHandle handle) override;

    FileHandle OpenFile(const char* name, OpenScope scope, CFileFacts& facts) override;
    long ReadFile(FileHandle file, char* buffer, size_t size, unsigned long& error) override;
    bool SeekFile(FileHandle file, int64_t position, unsigned long& error) override;
    void CloseFile(FileHandle file) override;

    bool GetEnvironment(const char* name, std::string& value) override;

    std::FILE* CreateMakefile(const char* name, unsigned long& error) override;
    bool CommitMakefile(unsigned long& error) override;
    void DiscardMakefile() override;

    void LowerCase(std::string& text) override { MapCase(text, false); }
    void UpperCase(std::string& text) override { MapCase(text, true); }
    size_t CharLength(const char* text) override { return MultibyteLength(text); }

    // Drops every directory read and the remembered current directory; open listings become
    // invalid.
    void ForgetFileSystem() override;

private:
    // `joinedToCwd` tells whether `out` begins with a current directory whose components need
    // the dots resolved too.
    const char* StartFullPath(const char* name, std::string& out, size_t& rootLength,
                              bool& joinedToCwd);
    // The POSIX path of the file the makefile `name` replaces, links followed; false with the
    // error number when there is none to write.
    bool LocateMakefile(const char* name, std::string& target, unsigned long& error);
    unsigned long MissingDirectoryError(const char* name);
    bool PutNewFileInPlace(unsigned long& error);
    void ForgetNewFile();
    bool LoadCurrentDirectory();

    const CDirectory* LocateParent(const char* name, const char*& leafName);
    const CDirectory* ResolveDirectory(const std::string& fullPath, size_t length);
    const CDirectory* ResolveChild(const CDirectory& parent, const std::string& name);
    const CDirectory* DirectoryAt(const std::string& posixPath);
    // The stored name of the entry `name` names in `directory`, or null when there is none
    // within `reach`; `kind` receives what the entry is, `type` its type as the directory
    // listing told it (DT_UNKNOWN when it did not).
    const char* FindLeaf(const CDirectory& directory, const char* name, Reach reach,
                         EntryKind& kind, unsigned char& type);

    CFindState* AcquireFindState(const CDirectory& directory);
    void ReleaseFindState(CFindState* state);
    static bool Advance(CFindState& state, CFindData& data);

    std::string m_strCwd;  // the current directory as a full path
    bool m_bCwdKnown = false;
    bool m_bCwdHasDots = false;  // a component of it ends in a dot or a blank
    // Windows directory paths, exactly as written, to the directory they resolve to (or null).
    CTextMap<const CDirectory*> m_byWindowsPath;
    // POSIX directory paths to what was read there (null: no directory).
    std::unordered_map<std::string, std::unique_ptr<CDirectory>> m_byPosixPath;
    std::vector<std::unique_ptr<CFindState>> m_spareFinds;
    // Scratch strings reused by every probe, so that a lookup allocates nothing once warm.
    std::string m_strFull;
    CDirsAsWritten<CDirectory> m_dirsAsWritten;
    std::string m_strChild;
    std::vector<size_t> m_resolveEnds;
    std::string m_strUpper;
    std::string m_strPosix;
    // The makefile's new file while it exists, and the file it is to replace.
    std::FILE* m_pNewFile = nullptr;
    std::unique_ptr<char[]> m_pNewFileBuffer;  // outlives every stream it serves
    std::string m_strNewFile;
    std::string m_strTarget;
};

bool CPosixPlatform::GetFullPath(const char* name, std::string& out) {
    // The full path is built in `out`, so a name that lives there is copied away first.
    std::less_equal<const char*> notAfter;
    if (name != nullptr && notAfter(out.data(), name) && notAfter(name, out.data() + out.size())) {
        const std::string copy(name);
        return GetFullPath(copy.c_str(), out);
    }
    out.clear();
    // A name of blanks alone names nothing, as for GetFullPathNameA.
    if (name == nullptr || name[std::strspn(name, " ")] == '\0') return false;
    size_t rootLength = 0;
    bool joinedToCwd = false;
    const char* rest = StartFullPath(name, out, rootLength, joinedToCwd);
    if (rest == nullptr) return false;  // before it wrote anything
    if ((joinedToCwd && m_bCwdHasDots) || !AppendPlainRest(rest, out)) {
        AppendComponents(rest, out, rootLength);
    }
    if (out.size() > MAX_FULL_PATH) {
        out.clear();
        return false;
    }
    return true;
}

// Begins the full path with its root (or the current directory for a relative name) and
// returns where the rest of the name starts; null when the current directory is unknown.
const char* CPosixPlatform::StartFullPath(const char* name, std::string& out, size_t& rootLength,
                                          bool& joinedToCwd) {
    if (IsSeparator(name[0]) && IsSeparator(name[1])) return StartUncPath(name, out, rootLength);
    rootLength = 3;  // "C:\"
    if (IsAsciiLetter(name[0]) && name[1] == ':') {
        bool relative = !IsSeparator(name[2]);
        // The current directory is on C:; any other drive has only its root.
        if (relative && AsciiUpper(name[0]) == 'C') {
            if (!LoadCurrentDirectory()) return nullptr;
            out = m_strCwd;
            joinedToCwd = true;
            return name + 2;
        }
        out.assign(name, 2);
        out += '\\';
        return relative ? name + 2 : name + 3;
    }
    if (IsSeparator(name[0])) {
        out = "C:\\";
        return name + 1;
    }
    if (!LoadCurrentDirectory()) return nullptr;
    out = m_strCwd;
    joinedToCwd = true;
    return name;
}

bool CPosixPlatform::LoadCurrentDirectory() {
    if (m_bCwdKnown) return true;
    std::string posixPath(256, '\0');
    ++g_nFileSystemCalls;
    while (getcwd(&posixPath[0], posixPath.size()) == nullptr) {
        if (errno != ERANGE) return false;
        posixPath.resize(posixPath.size() * 2);
    }
    posixPath.resize(std::strlen(posixPath.c_str()));
    // Linux marks a directory outside the process's root with a prefix instead of a slash.
    if (posixPath.empty() || posixPath[0] != '/') return false;
    PosixToWindowsPath(posixPath, m_strCwd);
    // A directory whose name ends in a dot or a blank (outside the view, but a process may stand
    // in one): the names joined to it lose those as any other full path's components do.
    m_bCwdHasDots = ClassifyRest(m_strCwd.c_str() + 3) == Rest::DOTS_TO_RESOLVE;
    m_bCwdKnown = true;
    return true;
}

// Finds the directory that holds the last component of `name` and points `leafName` at that
// component. Null when there is no such directory, the name ends with a separator, or its full
// path would be too long.
const CDirectory* CPosixPlatform::LocateParent(const char* name, const char*& leafName) {
    const char* separator = LastSeparator(name);
    const bool ordinaryLeaf = separator != nullptr && IsOrdinaryLeaf(separator + 1);
    if (ordinaryLeaf) {
        const size_t length = static_cast<size_t>(separator + 1 - name);
        if (const auto* known = m_dirsAsWritten.Find(name, length)) {
            leafName = separator + 1;
            if (known->fullLength + std::strlen(leafName) > MAX_FULL_PATH) return nullptr;
            return known->directory;
        }
    }
    if (!GetFullPath(name, m_strFull)) return nullptr;
    const size_t fullSeparator =
        LastSeparatorOf(m_strFull.data(), m_strFull.size(), Slash::NOT, MultibyteLength);
    if (fullSeparator == std::string::npos || fullSeparator + 1 == m_strFull.size()) return nullptr;
    leafName = m_strFull.c_str() + fullSeparator + 1;
    const CDirectory* directory = ResolveDirectory(m_strFull, fullSeparator);
    if (ordinaryLeaf) m_dirsAsWritten.Keep(directory, fullSeparator + 1);
    return directory;
}

// The directory that the first `length` characters of a full path name.
// Resolves a Windows directory path ("C:" for the root) component by component, each component
// case-insensitively in its parent, and remembers every prefix on the way. The walk goes back to
// the longest prefix known and then forward, in a loop: a path may have two thousand components.
// `fullPath` stays as it is during the walk (it is the caller's text, never the layer's own
// scratch that the walk uses).
const CDirectory* CPosixPlatform::ResolveDirectory(const std::string& fullPath, size_t length) {
    const std::string_view path(fullPath);
    if (const CDirectory** known = m_byWindowsPath.Find(path.substr(0, length))) return *known;
    if (!IsCDrive(fullPath)) {  // other drives and UNC names hold nothing
        m_byWindowsPath.Insert(path.substr(0, length), nullptr);
        return nullptr;
    }
    std::vector<size_t>& ends = m_resolveEnds;  // prefixes to resolve, the longest first
    ends.assign(1, length);
    const CDirectory* directory = nullptr;
    for (;;) {
        if (ends.back() == 2) {
            ends.pop_back();
            directory = DirectoryAt("/");
            m_byWindowsPath.Insert(path.substr(0, 2), directory);
            break;
        }
        const size_t parent =
            LastSeparatorOf(fullPath.data(), ends.back(), Slash::NOT, MultibyteLength);
        if (parent == std::string::npos || parent < 2) break;  // no full path: nothing there
        if (const CDirectory** known = m_byWindowsPath.Find(path.substr(0, parent))) {
            directory = *known;
            break;
        }
        ends.push_back(parent);
    }
    while (!ends.empty()) {
        const size_t end = ends.back();
        ends.pop_back();
        const size_t separator = LastSeparatorOf(fullPath.data(), end, Slash::NOT, MultibyteLength);
        if (directory != nullptr && separator != std::string::npos) {
            m_strChild.assign(fullPath, separator + 1, end - separator - 1);
            directory = ResolveChild(*directory, m_strChild);
        }
        m_byWindowsPath.Insert(path.substr(0, end), directory);
    }
    return directory;
}

// The directory that `name` names in `parent`, links followed; null when there is none.
const CDirectory* CPosixPlatform::ResolveChild(const CDirectory& parent, const std::string& name) {
    if (HasWildcards(name.c_str())) return nullptr;
    EntryKind kind = EntryKind::UNKNOWN;
    unsigned char type = DT_UNKNOWN;
    const char* stored = FindLeaf(parent, name.c_str(), Reach::VIEW, kind, type);
    if (stored == nullptr || kind != EntryKind::DIRECTORY) return nullptr;
    std::string posixPath;
    JoinPosixPath(parent.Path(), stored, posixPath);
    if ((type == DT_LNK || type == DT_UNKNOWN) && !FollowLastLink(posixPath)) return nullptr;
    return DirectoryAt(posixPath);
}

const CDirectory* CPosixPlatform::DirectoryAt(const std::string& posixPath) {
    auto known = m_byPosixPath.find(posixPath);
    if (known != m_byPosixPath.end()) return known->second.get();
    auto directory = std::make_unique<CDirectory>(posixPath);
    unsigned long error = 0;
    if (!directory->Read(error)) {
        switch (ClassifyListingFailure(error)) {
            case ListingFailure::ABSENT:
                directory.reset();
                break;
            case ListingFailure::NOT_LISTED:
                // Searched but not read (mode 711): it still leads to what it holds.
                if (!IsDirectoryPath(posixPath)) directory.reset();
                break;
            case ListingFailure::OUT_OF_MEMORY:
            case ListingFailure::FAILED:
                RaiseListingFailure(error);  // nothing of it is kept
        }
    }
    const CDirectory* result = directory.get();
    m_byPosixPath.emplace(posixPath, std::move(directory));
    return result;
}

const char* CPosixPlatform::FindLeaf(const CDirectory& directory, const char* name, Reach reach,
                                     EntryKind& kind, unsigned char& type) {
    type = DT_UNKNOWN;
    if (!directory.IsListed()) {
        if (!IsWindowsName(name) || IsHidden(directory.Path(), name)) return nullptr;
        kind = directory.KindAt(name);
        return reach == Reach::ANY || kind != EntryKind::OUTSIDE_VIEW ? name : nullptr;
    }
    AssignUpperKey(name, m_strUpper);
    const CDirEntry* entry = directory.Find(name, m_strUpper, reach);
    if (entry == nullptr) return nullptr;
    kind = directory.Kind(*entry);
    type = entry->type;
    return entry->name.c_str();
}

FindHandle CPosixPlatform::FindFirstFile(const char* pattern, CFindData& data) {
    // A drive without a name after it (c:) names no entry, though its full path is a directory.
    if (IsAsciiLetter(pattern[0]) && pattern[1] == ':' && pattern[2] == '\0') {
        return INVALID_FIND_HANDLE;
    }
    const char* name = nullptr;
    const CDirectory* directory = LocateParent(pattern, name);
    if (directory == nullptr) return INVALID_FIND_HANDLE;
    if (!HasWildcards(name)) {
        EntryKind kind = EntryKind::UNKNOWN;
        unsigned char type = DT_UNKNOWN;
        const char* stored = FindLeaf(*directory, name, Reach::VIEW, kind, type);
        if (stored == nullptr) return INVALID_FIND_HANDLE;
        data.cFileName.assign(stored);
        return AcquireFindState(*directory);  // nothing more to deliver
    }
    if (!directory->IsListed()) return INVALID_FIND_HANDLE;
    CFindState* state = AcquireFindState(*directory);
    AssignUpperKey(name, state->m_strPattern);
    state->m_nNext = 0;
    if (!Advance(*state, data)) {
        ReleaseFindState(state);
        return INVALID_FIND_HANDLE;
    }
    return state;
}

bool CPosixPlatform::FindNextFile(FindHandle handle, CFindData& data) {
    if (handle == INVALID_FIND_HANDLE) return false;
    return Advance(*static_cast<CFindState*>(handle), data);
}

void CPosixPlatform::FindClose(FindHandle handle) {
    if (handle != INVALID_FIND_HANDLE) ReleaseFindState(static_cast<CFindState*>(handle));
}

bool CPosixPlatform::Advance(CFindState& state, CFindData& data) {
    static const CDirEntry DOT{".", ".", DT_DIR, EntryKind::DIRECTORY};
    static const CDirEntry DOT_DOT{"..", "..", DT_DIR, EntryKind::DIRECTORY};
    const std::vector<CDirEntry>& entries = state.m_pDirectory->Entries();
    while (state.m_nNext != CFindState::DONE) {
        size_t index = state.m_nNext++;
        const CDirEntry* entry = index == 0 ? &DOT : index == 1 ? &DOT_DOT : nullptr;
        if (entry == nullptr) {
            if (index - 2 >= entries.size()) break;
            entry = &entries[index - 2];
        }
        if (MatchWildcards(state.m_strPattern.c_str(), entry->upper.c_str()) &&
            state.m_pDirectory->Reaches(*entry, Reach::VIEW)) {
            data.cFileName.assign(entry->name);
            return true;
        }
    }
    state.m_nNext = CFindState::DONE;
    return false;
}

// Listing states are kept for reuse: a header search opens one listing per probe.
CFindState* CPosixPlatform::AcquireFindState(const CDirectory& directory) {
    std::unique_ptr<CFindState> state;
    if (m_spareFinds.empty()) {
        state = std::make_unique<CFindState>();
    } else {
        state = std::move(m_spareFinds.back());
        m_spareFinds.pop_back();
    }
    state->m_pDirectory = &directory;
    state->m_nNext = CFindState::DONE;
    return state.release();
}

void CPosixPlatform::ReleaseFindState(CFindState* state) {
    m_spareFinds.emplace_back(state);
}

int Descriptor(FileHandle file) {
    return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1);
}

FileHandle CPosixPlatform::OpenFile(const char* name, OpenScope scope, CFileFacts& facts) {
    const char* leafName = nullptr;
    const CDirectory* directory = LocateParent(name, leafName);
    if (directory == nullptr) return INVALID_FILE_HANDLE;
    if (HasWildcards(leafName)) return INVALID_FILE_HANDLE;
    const bool diskFile = scope == OpenScope::DISK_FILE;
    EntryKind kind = EntryKind::UNKNOWN;
    unsigned char type = DT_UNKNOWN;
    const char* stored =
        FindLeaf(*directory, leafName, diskFile ? Reach::VIEW : Reach::ANY, kind, type);
    // Windows cannot open a directory as a file; callers rely on that to report it.
    if (stored == nullptr || kind == EntryKind::DIRECTORY) return INVALID_FILE_HANDLE;
    JoinPosixPath(directory->Path(), stored, m_strPosix);
    // A disk file is opened without waiting, so that an entry replaced by a FIFO since the
    // listing cannot block the run; O_NONBLOCK changes nothing for reading a regular file.
    ++g_nFileSystemCalls;
    int fd = open(m_strPosix.c_str(), O_RDONLY | O_CLOEXEC | (diskFile ? O_NONBLOCK : 0));
    if (fd < 0) return INVALID_FILE_HANDLE;
    struct stat info;
    ++g_nFileSystemCalls;
    facts = CFileFacts();
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || (diskFile && !S_ISREG(info.st_mode))) {
        // An entry that became a FIFO or a device since the listing is no file of the view.
        facts.notDiskFile = diskFile && fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
        close(fd);
        return INVALID_FILE_HANDLE;
    }
    facts.size = S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : -1;
    facts.hasIdentity = true;
    facts.volume = static_cast<uint64_t>(info.st_dev);
    facts.index = static_cast<uint64_t>(info.st_ino);
    return reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1);
}

long CPosixPlatform::ReadFile(FileHandle file, char* buffer, size_t size, unsigned long& error) {
    for (;;) {
        ssize_t got = read(Descriptor(file), buffer, std::min<size_t>(size, SSIZE_MAX));
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) {
            error = static_cast<unsigned long>(errno);
            return -1;
        }
    }
}

bool CPosixPlatform::SeekFile(FileHandle file, int64_t position, unsigned long& error) {
    if (lseek(Descriptor(file), static_cast<off_t>(position), SEEK_SET) < 0) {
        error = static_cast<unsigned long>(errno);
        return false;
    }
    return true;
}

void CPosixPlatform::CloseFile(FileHandle file) {
    if (file != INVALID_FILE_HANDLE) close(Descriptor(file));
}

bool EqualIgnoringAsciiCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

bool CPosixPlatform::GetEnvironment(const char* name, std::string& value) {
    value.clear();
    if (name == nullptr || *name == '\0' || std::strchr(name, '=') != nullptr) return false;
    if (const char* exact = std::getenv(name)) {
        value = exact;
        return true;
    }
    size_t length = std::strlen(name);
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (EqualIgnoringAsciiCase(*entry, name, length) && (*entry)[length] == '=') {
            value = *entry + length + 1;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// The one file the run writes

// What a signal handler may do is little: it removes the new file by this name, then ends the
// process as the signal would have.
char g_szNewFile[PATH_MAX];
volatile sig_atomic_t g_bNewFileExists = 0;
const int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previousActions[sizeof CLEANUP_SIGNALS / sizeof CLEANUP_SIGNALS[0]];

extern "C" void RemoveNewFileAndEnd(int signalNumber) {
    if (g_bNewFileExists) unlink(g_szNewFile);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);  // delivered as the handler returns
}

// A signal the caller had ignored (SIGHUP under nohup) stays ignored.
void CatchCleanupSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveNewFileAndEnd;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < sizeof CLEANUP_SIGNALS / sizeof CLEANUP_SIGNALS[0]; ++i) {
        sigaction(CLEANUP_SIGNALS[i], nullptr, &g_previousActions[i]);
        if (g_previousActions[i].sa_handler != SIG_IGN)
            sigaction(CLEANUP_SIGNALS[i], &action, nullptr);
    }
}

void RestoreCleanupSignals() {
    for (size_t i = 0; i < sizeof CLEANUP_SIGNALS / sizeof CLEANUP_SIGNALS[0]; ++i)
        sigaction(CLEANUP_SIGNALS[i], &g_previousActions[i], nullptr);
}

// Follows symbolic links from `path` to the file they lead to, which need not exist yet (a link
// to a missing file gets that file made). False with the error number when what is there is a
// directory or may not be written: the rename would replace a file its user protected.
bool FollowToWritableFile(std::string& path, unsigned long& error) {
    for (int links = 0;; ++links) {
        struct stat info;
        ++g_nFileSystemCalls;
        if (lstat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) return true;
            error = static_cast<unsigned long>(errno);
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            error = EISDIR;
            return false;
        }
        if (!S_ISLNK(info.st_mode)) {
            ++g_nFileSystemCalls;
            if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return true;
            error = static_cast<unsigned long>(errno);
            return false;
        }
        char target[PATH_MAX];
        ++g_nFileSystemCalls;
        const ssize_t length = readlink(path.c_str(), target, sizeof target);
        if (links == 40 || length <= 0 || static_cast<size_t>(length) == sizeof target) {
            error = links == 40  ? ELOOP
                    : length < 0 ? static_cast<unsigned long>(errno)
                                 : ENAMETOOLONG;
            return false;
        }
        if (target[0] == '/') {
            path.assign(target, static_cast<size_t>(length));
        } else {
            path.resize(path.rfind('/') + 1);
            path.append(target, static_cast<size_t>(length));
        }
    }
}

// Splits a POSIX file path into its canonical directory (links resolved, as the directories of
// the view are named) and its name.
bool SplitCanonical(const std::string& path, std::string& directory, std::string& name,
                    unsigned long& error) {
    const size_t slash = path.rfind('/');
    name = path.substr(slash + 1);
    const std::string parent = slash == 0 ? std::string("/") : path.substr(0, slash);
    ++g_nFileSystemCalls;
    char* canonical = realpath(parent.c_str(), nullptr);
    if (canonical == nullptr) {
        error = static_cast<unsigned long>(errno);
        return false;
    }
    directory.assign(canonical);
    std::free(canonical);
    return true;
}

// The file's permission bits, for the file that replaces it; a new name gets 0666 less the umask.
mode_t ModeOf(const std::string& path, bool& exists) {
    struct stat info;
    ++g_nFileSystemCalls;
    exists = stat(path.c_str(), &info) == 0;
    return exists ? info.st_mode & 07777 : 0666;
}

bool CPosixPlatform::LocateMakefile(const char* name, std::string& target, unsigned long& error) {
    const char* leaf = nullptr;
    const CDirectory* directory = LocateParent(name, leaf);
    if (directory == nullptr) {
        error = MissingDirectoryError(name);
        return false;
    }
    if (!IsWindowsName(leaf)) {
        error = EINVAL;  // a wildcard or a character no Windows name holds
        return false;
    }
    EntryKind kind = EntryKind::UNKNOWN;
    unsigned char type = DT_UNKNOWN;
    const char* stored = FindLeaf(*directory, leaf, Reach::ANY, kind, type);
    JoinPosixPath(directory->Path(), stored != nullptr ? stored : leaf, target);
    return FollowToWritableFile(target, error);
}

// Why the directory of the makefile `name` is not there, in the system's words.
unsigned long CPosixPlatform::MissingDirectoryError(const char* name) {
    std::string full;
    if (!GetFullPath(name, full)) return ENAMETOOLONG;
    const size_t separator = LastSeparatorOf(full.data(), full.size(), Slash::NOT, MultibyteLength);
    if (separator + 1 == full.size()) return EISDIR;  // the name ends with its separator
    if (!IsCDrive(full)) return ENOENT;
    std::string parent = full.substr(2, separator - 2);
    std::replace(parent.begin(), parent.end(), '\\', '/');
    struct stat info;
    ++g_nFileSystemCalls;
    if (stat(parent.c_str(), &info) != 0) return static_cast<unsigned long>(errno);
    return S_ISDIR(info.st_mode) ? ENOENT : ENOTDIR;
}

std::FILE* CPosixPlatform::CreateMakefile(const char* name, unsigned long& error) {
    std::string target;
    std::string directory;
    std::string leaf;
    if (!LocateMakefile(name, target, error) || !SplitCanonical(target, directory, leaf, error))
        return nullptr;
    target = directory == "/" ? "/" + leaf : directory + "/" + leaf;
    bool exists = false;
    const mode_t mode = ModeOf(target, exists);
    int fd = -1;
    std::string newName;
    for (unsigned attempt = 0; fd < 0 && attempt < NEW_FILE_ATTEMPTS; ++attempt) {
        newName = NewFileName(leaf, static_cast<unsigned long>(getpid()), attempt);
        JoinPosixPath(directory, newName.c_str(), m_strNewFile);
        ++g_nFileSystemCalls;
        fd = open(m_strNewFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = static_cast<unsigned long>(errno);
        return nullptr;
    }
    if (m_strNewFile.size() >= sizeof g_szNewFile) {
        close(fd);
        unlink(m_strNewFile.c_str());
        error = ENAMETOOLONG;
        return nullptr;
    }
    std::memcpy(g_szNewFile, m_strNewFile.c_str(), m_strNewFile.size() + 1);
    g_bNewFileExists = 1;
    CatchCleanupSignals();
    g_hidden = CHiddenEntry{directory, newName};
    m_strTarget = target;
    // The umask applies to a new name only: a file that is replaced keeps its bits.
    std::FILE* stream = nullptr;
    if ((!exists || fchmod(fd, mode) == 0) && (stream = fdopen(fd, "w")) != nullptr) {
        if (!m_pNewFileBuffer) m_pNewFileBuffer.reset(new char[OUTPUT_BUFFER_SIZE]);
        std::setvbuf(stream, m_pNewFileBuffer.get(), _IOFBF, OUTPUT_BUFFER_SIZE);
        m_pNewFile = stream;
        return stream;
    }
    error = static_cast<unsigned long>(errno);
    close(fd);
    ForgetNewFile();
    return nullptr;
}

bool CPosixPlatform::CommitMakefile(unsigned long& error) {
    std::FILE* stream = m_pNewFile;
    m_pNewFile = nullptr;
    const bool placed = CloseNewFile(stream, error) && PutNewFileInPlace(error);
    ForgetNewFile();
    return placed;
}

// A makefile that says what it said before keeps its time, so that make rebuilds nothing that
// depends on it.
bool CPosixPlatform::PutNewFileInPlace(unsigned long& error) {
    if (SameBytes(m_strNewFile.c_str(), m_strTarget.c_str())) return true;
    std::string target = m_strTarget;
    if (!FollowToWritableFile(target, error)) return false;
    ++g_nFileSystemCalls;
    if (rename(m_strNewFile.c_str(), m_strTarget.c_str()) != 0) {
        error = static_cast<unsigned long>(errno);
        return false;
    }
    g_bNewFileExists = 0;
    return true;
}

void CPosixPlatform::DiscardMakefile() {
    if (m_pNewFile != nullptr) std::fclose(m_pNewFile);
    m_pNewFile = nullptr;
    ForgetNewFile();
}

// Removes the new file where it still is, and the watch over it.
void CPosixPlatform::ForgetNewFile() {
    if (g_bNewFileExists) unlink(m_strNewFile.c_str());
    g_bNewFileExists = 0;
    RestoreCleanupSignals();
    g_hidden = CHiddenEntry();
    m_strNewFile.clear();
    m_strTarget.clear();
}

void CPosixPlatform::ForgetFileSystem() {
    m_dirsAsWritten.Clear();
    m_byWindowsPath.Clear();
    m_byPosixPath.clear();
    m_bCwdKnown = false;
}

}  // namespace

CPlatform& NativePlatform() {
    // Never destroyed: its directory cache goes back to the system with the process.
    static CPosixPlatform& platform = *new CPosixPlatform;
    return platform;
}

void InitializeProcess() {
    std::setlocale(LC_CTYPE, "");
    // A reader that goes away (a pipe into `head`, a killed build step) must make the write fail
    // with EPIPE, so that the run reports it and ends with its exit code, as on Windows.
    signal(SIGPIPE, SIG_IGN);
    // Into a file or a pipe the C library writes a block of the file's size, often 4 KiB: a
    // makefile of megabytes would cost a system call per block. A terminal stays line-buffered.
    // The C library takes the size only with a buffer.
    static char buffer[OUTPUT_BUFFER_SIZE];
    if (!isatty(STDOUT_FILENO)) std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

ListingFailure ClassifyListingFailure(unsigned long error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return ListingFailure::ABSENT;
        case EACCES:
            return ListingFailure::NOT_LISTED;
        case ENOMEM:
            return ListingFailure::OUT_OF_MEMORY;
        default:
            return ListingFailure::FAILED;
    }
}

unsigned long PosixDirectoryReads() {
    return g_nDirectoryReads;
}

unsigned long PosixFileSystemCalls() {
    return g_nFileSystemCalls;
}

namespace {

struct CThreadBody {
    void (*body)(void*);
    void* context;
};

void* RunThreadBody(void* argument) {
    const CThreadBody* thread = static_cast<const CThreadBody*>(argument);
    thread->body(thread->context);
    return nullptr;
}

}  // namespace

bool RunOnLargeStack(size_t stackBytes, void (*body)(void*), void* context) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    CThreadBody thread{body, context};
    pthread_t handle;
    const bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                         pthread_create(&handle, &attributes, RunThreadBody, &thread) == 0;
    pthread_attr_destroy(&attributes);
    if (started) pthread_join(handle, nullptr);
    return started;
}

unsigned long LastSystemError() {
    return static_cast<unsigned long>(errno);
}

void ClearSystemError() {
    errno = 0;
}

size_t StackRoom() {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return 0;
    void* lowest = nullptr;
    size_t size = 0;
    const int result = pthread_attr_getstack(&attributes, &lowest, &size);
    pthread_attr_destroy(&attributes);
    char here = 0;
    const uintptr_t top = reinterpret_cast<uintptr_t>(&here);
    const uintptr_t bottom = reinterpret_cast<uintptr_t>(lowest);
    if (result != 0 || lowest == nullptr || top <= bottom) return 0;
    return top - bottom;
}
