// The platform on Windows: the Win32 API itself, ANSI entry points, nothing emulated.

#include "platform/win32_api.h"

#include "platform/ascii.h"
#include "platform/dirs_as_written.h"
#include "platform/listing_failure.h"
#include "platform/replacement.h"
#include "platform/separators.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// GetFullPathNameA writes into a buffer of this size: 260 characters and the terminating zero.
const DWORD FULL_PATH_BUFFER = 261;

// The longest full path GetFullPathNameA makes: it resolves the name into a wide buffer of
// MAX_PATH characters, the terminating zero included, and fails with ERROR_FILENAME_EXCED_RANGE
// where that does not suffice, whatever the size of the caller's buffer.
const size_t MAX_FULL_PATH = MAX_PATH - 1;

// The handle of a listing answered from the cache: its one entry has been delivered.
char g_singleMatch;
FindHandle const SINGLE_MATCH = &g_singleMatch;

// The character after the one at `p`: the trail byte of a double-byte character may be a
// backslash.
const char* NextChar(const char* p) {
    return IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0' ? p + 2 : p + 1;
}

// Whether Windows could hold `name` as a file name. A listing delivers other names only from a
// file system that is not Windows' own (under Wine, POSIX names, also those that end in a dot or
// a blank, which no full path keeps), or a name the ANSI code page cannot show, which comes back
// with `?`: opened by that name, or taken as a pattern, it would reach other files or none.
bool IsWindowsName(const char* name) {
    char last = '\0';
    for (const char* p = name; *p != '\0'; p = NextChar(p)) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || std::strchr("\"*:<>?\\/|", c) != nullptr) return false;
        last = *p;
    }
    const bool dots = std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
    return last != ' ' && (last != '.' || dots);  // a listing delivers its . and .. as well
}

// A listing handle that is closed however its reading ends (memory may run out).
class CFindGuard {
public:
    explicit CFindGuard(HANDLE handle) : m_handle(handle) {}
    ~CFindGuard() {
        if (m_handle != INVALID_HANDLE_VALUE) ::FindClose(m_handle);
    }
    CFindGuard(const CFindGuard&) = delete;
    CFindGuard& operator=(const CFindGuard&) = delete;
    HANDLE Release() {
        HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return handle;
    }

private:
    HANDLE m_handle;
};

// The makefile's new file, for the console's interrupt handler, which runs on a thread of its
// own: it removes the file (opened with delete sharing, so that this succeeds while it is open)
// and lets the process end.
char g_szNewFile[MAX_PATH + 1];
volatile LONG g_nNewFileExists = 0;

BOOL WINAPI RemoveNewFileOnInterrupt(DWORD) {
    if (InterlockedCompareExchange(&g_nNewFileExists, 0, 1) == 1) DeleteFileA(g_szNewFile);
    return FALSE;  // the next handler ends the process
}

// A program that holds the named makefile open without delete sharing (a virus scanner, an
// indexer) is given about a second to let go before the rename is given up.
const int RENAME_ATTEMPTS = 20;
const DWORD RENAME_PAUSE_MS = 50;

// The path GetFinalPathNameByHandleA gives, without its \\?\ prefix.
std::string WithoutVerbatimPrefix(const char* path) {
    if (std::strncmp(path, "\\\\?\\UNC\\", 8) == 0) return std::string("\\\\") + (path + 8);
    if (std::strncmp(path, "\\\\?\\", 4) == 0) return path + 4;
    return path;
}

// A FindFirstFileA that failed: nothing there, or (as for any other code) the end of the run.
void RaiseUnlessNothingThere(DWORD error) {
    const ListingFailure failure = ClassifyListingFailure(error);
    if (failure != ListingFailure::ABSENT && failure != ListingFailure::NOT_LISTED) {
        RaiseListingFailure(error);
    }
}

// A FindNextFileA that failed: the end of the listing, or the end of the run.
void RaiseUnlessAtTheEnd(DWORD error) {
    if (error != ERROR_NO_MORE_FILES) RaiseListingFailure(error);
}

HANDLE AsWin32Handle(void* handle) {
    return handle == nullptr ? INVALID_HANDLE_VALUE : static_cast<HANDLE>(handle);
}

void* FromWin32Handle(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

class CWin32Platform final : public CPlatform {
public:
    size_t MaxFullPath() const override { return MAX_FULL_PATH; }

    bool GetFullPath(const char* name, std::string& out) override {
        char buffer[FULL_PATH_BUFFER];
        DWORD length = GetFullPathNameA(name, FULL_PATH_BUFFER, buffer, nullptr);
        // A result that does not fit comes back as the size it would need, zero included.
        if (length == 0 || length >= FULL_PATH_BUFFER) {
            out.clear();
            return false;
        }
        out.assign(buffer, length);
        return true;
    }

    FindHandle FindFirstFile(const char* pattern, CFindData& data) override {
        switch (FindInListing(pattern, data)) {
            case CacheAnswer::FOUND:
                return SINGLE_MATCH;
            case CacheAnswer::NOT_FOUND:
                return INVALID_FIND_HANDLE;
            case CacheAnswer::ASK_SYSTEM:
                break;
        }
        WIN32_FIND_DATAA found;
        HANDLE raw = FindFirstFileA(pattern, &found);
        if (raw == INVALID_HANDLE_VALUE) {
            RaiseUnlessNothingThere(GetLastError());
            return INVALID_FIND_HANDLE;
        }
        CFindGuard handle(raw);
        const bool mayShowNewFile = !m_strHiddenName.empty() && InHiddenDirectory(pattern);
        while (!IsShown(found, mayShowNewFile)) {
            if (!FindNextFileA(raw, &found)) {
                RaiseUnlessAtTheEnd(GetLastError());
                return INVALID_FIND_HANDLE;
            }
        }
        data.cFileName.assign(found.cFileName);  // may run out of memory: the guard closes
        if (mayShowNewFile) m_listingsShowingNewFile.insert(raw);
        return FromWin32Handle(handle.Release());
    }

    bool FindNextFile(FindHandle handle, CFindData& data) override {
        if (handle == SINGLE_MATCH) return false;
        const bool mayShowNewFile = m_listingsShowingNewFile.count(AsWin32Handle(handle)) != 0;
        WIN32_FIND_DATAA found;
        do {
            if (!FindNextFileA(AsWin32Handle(handle), &found)) {
                RaiseUnlessAtTheEnd(GetLastError());
                return false;
            }
        } while (!IsShown(found, mayShowNewFile));
        data.cFileName.assign(found.cFileName);
        return true;
    }

    void FindClose(FindHandle handle) override {
        if (handle != INVALID_FIND_HANDLE && handle != SINGLE_MATCH) {
            m_listingsShowingNewFile.erase(AsWin32Handle(handle));
            ::FindClose(AsWin32Handle(handle));
        }
    }

    std::FILE* CreateMakefile(const char* name, unsigned long& error) override {
        if (!LocateMakefile(name, m_strTarget, error)) return nullptr;
        const size_t cut =
            static_cast<size_t>(LastComponent(m_strTarget.c_str()) - m_strTarget.c_str());
        const std::string leaf = m_strTarget.substr(cut);
        HANDLE file = INVALID_HANDLE_VALUE;
        std::string newName;
        for (unsigned attempt = 0; attempt < NEW_FILE_ATTEMPTS; ++attempt) {
            newName = NewFileName(leaf, GetCurrentProcessId(), attempt);
            m_strNewFile = m_strTarget.substr(0, cut) + newName;
            file = CreateFileA(m_strNewFile.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
        }
        if (file == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return nullptr;
        }
        std::memcpy(g_szNewFile, m_strNewFile.c_str(), m_strNewFile.size() + 1);
        InterlockedExchange(&g_nNewFileExists, 1);
        SetConsoleCtrlHandler(RemoveNewFileOnInterrupt, TRUE);
        m_strHiddenDirectory = m_strTarget.substr(0, cut);
        UpperCase(m_strHiddenDirectory);
        m_strHiddenName = newName;
        UpperCase(m_strHiddenName);
        // Text mode: the makefile ends its lines as standard output does.
        const int descriptor =
            _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_TEXT);
        if (descriptor < 0) CloseHandle(file);
        std::FILE* stream = descriptor < 0 ? nullptr : _fdopen(descriptor, "wt");
        if (stream == nullptr) {
            error = static_cast<unsigned long>(errno);
            if (descriptor >= 0) _close(descriptor);
            ForgetNewFile();
            return nullptr;
        }
        std::setvbuf(stream, nullptr, _IOFBF, OUTPUT_BUFFER_SIZE);
        m_pNewFile = stream;
        return stream;
    }

    bool CommitMakefile(unsigned long& error) override {
        std::FILE* stream = m_pNewFile;
        m_pNewFile = nullptr;
        const bool placed = CloseNewFile(stream, error) && PutNewFileInPlace(error);
        ForgetNewFile();
        return placed;
    }

    void DiscardMakefile() override {
        if (m_pNewFile != nullptr) std::fclose(m_pNewFile);
        m_pNewFile = nullptr;
        ForgetNewFile();
    }

    void ForgetFileSystem() override {
        m_dirsAsWritten.Clear();
        m_listings.clear();
    }

    FileHandle OpenFile(const char* name, OpenScope scope, CFileFacts& facts) override {
        // Without FILE_FLAG_BACKUP_SEMANTICS a directory fails to open, as the core expects. A
        // name may reach a named pipe: its server may only identify the user, never act as him.
        // A reader never makes another program fail: a compiler, an editor or a virus scanner
        // may read, write or delete the file while the scan reads it, and the scan reads a file
        // they hold open.
        HANDLE file =
            CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | SECURITY_SQOS_PRESENT |
                            SECURITY_IDENTIFICATION,
                        nullptr);
        if (file == INVALID_HANDLE_VALUE) return INVALID_FILE_HANDLE;
        BY_HANDLE_FILE_INFORMATION info;
        const bool diskFile = GetFileType(file) == FILE_TYPE_DISK;
        facts = CFileFacts();
        if (!diskFile && scope == OpenScope::DISK_FILE) {
            // A pipe, the console or a device could block the run or never end.
            CloseHandle(file);
            facts.notDiskFile = true;
            return INVALID_FILE_HANDLE;
        }
        if (diskFile && GetFileInformationByHandle(file, &info)) {
            facts.size = static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) |
                                              info.nFileSizeLow);
            facts.hasIdentity = true;
            facts.volume = info.dwVolumeSerialNumber;
            facts.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        }
        return FromWin32Handle(file);
    }

    long ReadFile(FileHandle file, char* buffer, size_t size, unsigned long& error) override {
        DWORD wanted = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD got = 0;
        if (!::ReadFile(AsWin32Handle(file), buffer, wanted, &got, nullptr)) {
            error = GetLastError();
            return -1;
        }
        return static_cast<long>(got);
    }

    bool SeekFile(FileHandle file, int64_t position, unsigned long& error) override {
        LARGE_INTEGER distance;
        distance.QuadPart = position;
        if (!SetFilePointerEx(AsWin32Handle(file), distance, nullptr, FILE_BEGIN)) {
            error = GetLastError();
            return false;
        }
        return true;
    }

    void CloseFile(FileHandle file) override {
        if (file != INVALID_FILE_HANDLE) CloseHandle(AsWin32Handle(file));
    }

    bool GetEnvironment(const char* name, std::string& value) override {
        value.clear();
        std::vector<char> buffer(256);
        for (;;) {
            // A variable set to the empty string also returns 0; only the error tells them apart.
            SetLastError(ERROR_SUCCESS);
            DWORD length =
                GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0) return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
            if (length < buffer.size()) {
                value.assign(buffer.data(), length);
                return true;
            }
            buffer.resize(length);  // the size needed, zero included
        }
    }

    void LowerCase(std::string& text) override {
        if (!text.empty()) CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    }

    void UpperCase(std::string& text) override {
        if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    }

    size_t CharLength(const char* text) override {
        return IsDBCSLeadByte(static_cast<BYTE>(*text)) && text[1] != '\0' ? 2 : 1;
    }

private:
    // The full path of the file the makefile `name` replaces: an existing file by the name it
    // is stored under, links followed. False with the error number when it is a directory or
    // may not be written.
    bool LocateMakefile(const char* name, std::string& target, unsigned long& error) {
        char buffer[FULL_PATH_BUFFER];
        const DWORD length = GetFullPathNameA(name, FULL_PATH_BUFFER, buffer, nullptr);
        if (length == 0 || length >= FULL_PATH_BUFFER) {
            error = length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
            return false;
        }
        target.assign(buffer, length);
        const char* leaf = LastComponent(target.c_str());
        if (*leaf == '\0' || !IsWindowsName(leaf)) {
            // A name that ends with its separator is a directory's.
            error = *leaf == '\0' ? ERROR_ACCESS_DENIED : ERROR_INVALID_NAME;
            return false;
        }
        HANDLE existing =
            CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (existing == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            // A new name; a missing directory fails where the new file is made.
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        }
        BY_HANDLE_FILE_INFORMATION info;
        char final[4 * MAX_PATH];
        const bool diskFile = GetFileType(existing) == FILE_TYPE_DISK;
        const bool known = diskFile && GetFileInformationByHandle(existing, &info);
        const DWORD finalLength =
            known ? GetFinalPathNameByHandleA(existing, final, sizeof final, VOLUME_NAME_DOS) : 0;
        error = GetLastError();
        CloseHandle(existing);
        if (!diskFile) {
            error = ERROR_INVALID_NAME;  // a device name, such as NUL or CON
            return false;
        }
        if (finalLength == 0 || finalLength >= sizeof final) return false;
        if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
            error = ERROR_ACCESS_DENIED;
            return false;
        }
        target = WithoutVerbatimPrefix(final);
        return true;
    }

    // A makefile that says what it said before keeps its time, so that make rebuilds nothing
    // that depends on it.
    bool PutNewFileInPlace(unsigned long& error) {
        if (SameBytes(m_strNewFile.c_str(), m_strTarget.c_str())) return true;
        // MoveFileExA would replace a read-only file under Wine, where Windows refuses.
        const DWORD attributes = GetFileAttributesA(m_strTarget.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
            error = ERROR_ACCESS_DENIED;
            return false;
        }
        for (int attempt = 1;; ++attempt) {
            if (MoveFileExA(m_strNewFile.c_str(), m_strTarget.c_str(), MOVEFILE_REPLACE_EXISTING)) {
                InterlockedExchange(&g_nNewFileExists, 0);
                return true;
            }
            error = GetLastError();
            if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
                attempt == RENAME_ATTEMPTS) {
                return false;
            }
            Sleep(RENAME_PAUSE_MS);
        }
    }

    // Removes the new file where it still is, and the watch over it.
    void ForgetNewFile() {
        if (InterlockedExchange(&g_nNewFileExists, 0) == 1) DeleteFileA(m_strNewFile.c_str());
        SetConsoleCtrlHandler(RemoveNewFileOnInterrupt, FALSE);
        m_strHiddenDirectory.clear();
        m_strHiddenName.clear();
        m_strNewFile.clear();
        m_strTarget.clear();
    }

    // Whether the directory of `pattern` holds the makefile's new file.
    bool InHiddenDirectory(const char* pattern) {
        std::string directory;
        if (!GetFullPath(pattern, directory)) return false;
        directory = DirectoryPart(directory);
        UpperCase(directory);
        return directory == m_strHiddenDirectory;
    }

    // Whether a listing shows `found` to the run: a name Windows could hold, and not the
    // makefile's new file where the listing's directory may hold it.
    bool IsShown(const WIN32_FIND_DATAA& found, bool mayShowNewFile) {
        if (!IsWindowsName(found.cFileName)) return false;
        if (!mayShowNewFile) return true;
        std::string name = found.cFileName;
        UpperCase(name);
        return name != m_strHiddenName;
    }

    // A directory as listed once for the run: the scan probes the same directories for every
    // include line, and each FindFirstFileA is a trip to the file system (under Wine, to its
    // server). The tool only reads, so a listing stays valid for the run.
    struct CListing {
        std::vector<std::string> names;                   // long names, in listing order
        std::unordered_map<std::string, size_t> byName;   // long name as stored
        std::unordered_map<std::string, size_t> byUpper;  // upper-cased long or short name
    };
    enum class CacheAnswer { FOUND, NOT_FOUND, ASK_SYSTEM };

    // Answers a probe of a plain name from the listing of its directory. Wildcards (the DOS
    // ones too) and names Windows would trim or treat specially are left to the system.
    CacheAnswer FindInListing(const char* pattern, CFindData& data) {
        if (std::strpbrk(pattern, "*?<>\"") != nullptr) return CacheAnswer::ASK_SYSTEM;
        const char* leaf = LastComponent(pattern);
        if (leaf == pattern || !IsPlainLeaf(leaf)) return CacheAnswer::ASK_SYSTEM;
        const size_t length = static_cast<size_t>(leaf - pattern);
        const auto* dir = m_dirsAsWritten.Find(pattern, length);
        if (dir == nullptr) {
            const std::string text(pattern, length);
            if (GetFullPath(text.c_str(), m_strFull) && !HasComponentEndingInDot(m_strFull)) {
                dir = &m_dirsAsWritten.Keep(ListingOf(DirectoryPart(m_strFull)), m_strFull.size());
            } else {
                dir = &m_dirsAsWritten.Keep(nullptr, 0);
            }
        }
        // A full path beyond the limit is not made, so the system has the answer.
        if (dir->fullLength == 0 || dir->fullLength + std::strlen(leaf) > MAX_FULL_PATH) {
            return CacheAnswer::ASK_SYSTEM;
        }
        if (dir->directory == nullptr) return CacheAnswer::NOT_FOUND;
        return LookUp(*dir->directory, leaf, data);
    }

    CacheAnswer LookUp(const CListing& listing, const char* leaf, CFindData& data) {
        // The exact spelling first, as a lookup on a case-sensitive directory would find it.
        m_strLeaf.assign(leaf);
        auto exact = listing.byName.find(m_strLeaf);
        if (exact != listing.byName.end()) {
            data.cFileName = m_strLeaf;
            return CacheAnswer::FOUND;
        }
        UpperCase(m_strLeaf);
        auto entry = listing.byUpper.find(m_strLeaf);
        if (entry == listing.byUpper.end()) return CacheAnswer::NOT_FOUND;
        data.cFileName = listing.names[entry->second];
        return CacheAnswer::FOUND;
    }

    static const char* LastComponent(const char* path) {
        const size_t separator =
            LastSeparatorOf(path, std::strlen(path), Slash::TOO,
                            [](const char* p) { return static_cast<size_t>(NextChar(p) - p); });
        return separator == std::string::npos ? path : path + separator + 1;
    }

    // The directory of a full path, with its last backslash; the path itself when it ends in one
    // (the directory was written with a separator at its end).
    static std::string DirectoryPart(const std::string& full) {
        return full.substr(0, static_cast<size_t>(LastComponent(full.c_str()) - full.c_str()));
    }

    // Whether a component of a full path ends in a dot: `sub.` and the `..` that `sub\...` makes
    // name no directory, but a listing of `sub.\*` would be made a full path once more and list
    // `sub`. The system answers for them.
    static bool HasComponentEndingInDot(const std::string& full) {
        for (size_t dot = full.find('.'); dot != std::string::npos; dot = full.find('.', dot + 1)) {
            if (dot + 1 == full.size() || full[dot + 1] == '\\') return true;
        }
        return false;
    }

    // Whether the full-path conversion keeps `leaf`, the last component of a probe, as it
    // stands: not empty, neither `.` nor `..`, no trailing dot or blank (which Windows trims), no
    // stream (`:`), no device name.
    static bool IsPlainLeaf(const char* leaf) {
        const size_t length = std::strlen(leaf);
        if (length == 0 || leaf[length - 1] == '.' || leaf[length - 1] == ' ') return false;
        return std::strchr(leaf, ':') == nullptr && !MayNameDevice(leaf);
    }

    // Whether `leaf` names a device (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, CONIN$,
    // CONOUT$), whatever its extension and letter case: Windows resolves those names in any
    // directory. COM and LPT with any fourth character count, to be safe.
    static bool MayNameDevice(const char* leaf) {
        size_t base = std::strcspn(leaf, ".");
        while (base > 0 && leaf[base - 1] == ' ')
            --base;
        if (base < 3 || base > 7) return false;
        char upper[8] = {};
        for (size_t i = 0; i < base; ++i)
            upper[i] = AsciiUpper(leaf[i]);
        const std::string name(upper, base);
        if (base == 4) return name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0;
        return name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" ||
               name == "CONIN$" || name == "CONOUT$";
    }

    // The listing of `directory` (a full path ending in a backslash), read at its first use;
    // null when it cannot be listed.
    const CListing* ListingOf(const std::string& directory) {
        std::string key = directory;
        UpperCase(key);
        auto known = m_listings.find(key);
        if (known != m_listings.end()) return known->second.get();
        std::unique_ptr<CListing> listing(new CListing);
        WIN32_FIND_DATAA found;
        HANDLE handle = FindFirstFileA((directory + "*").c_str(), &found);
        if (handle == INVALID_HANDLE_VALUE) {
            // A directory that may not be listed holds nothing for a probe either: a probe is a
            // listing on Windows. Nothing of a failed listing is kept.
            RaiseUnlessNothingThere(GetLastError());
            listing.reset();
        } else {
            CFindGuard guard(handle);  // the entries may exhaust memory
            const bool mayShowNewFile = !m_strHiddenName.empty() && key == m_strHiddenDirectory;
            do {
                if (IsShown(found, mayShowNewFile)) AddEntry(*listing, found);
            } while (FindNextFileA(handle, &found));
            RaiseUnlessAtTheEnd(GetLastError());
        }
        const CListing* result = listing.get();
        m_listings.emplace(std::move(key), std::move(listing));
        return result;
    }

    void AddEntry(CListing& listing, const WIN32_FIND_DATAA& found) {
        const size_t index = listing.names.size();
        listing.names.emplace_back(found.cFileName);
        listing.byName.emplace(found.cFileName, index);
        std::string upper = found.cFileName;
        UpperCase(upper);
        listing.byUpper.emplace(upper, index);  // the first in listing order wins
        if (found.cAlternateFileName[0] != '\0') {
            upper = found.cAlternateFileName;
            UpperCase(upper);
            listing.byUpper.emplace(upper, index);
        }
    }

    std::unordered_map<std::string, std::unique_ptr<CListing>> m_listings;  // by upper-cased path
    CDirsAsWritten<CListing> m_dirsAsWritten;
    std::string m_strFull;  // scratch strings of FindInListing, kept to spare allocations
    std::string m_strLeaf;
    // The makefile's new file while it exists, the file it is to replace, and what keeps it out
    // of the run's sight: its directory and name upper-cased, the system listings of that
    // directory that are open.
    std::FILE* m_pNewFile = nullptr;
    std::string m_strNewFile;
    std::string m_strTarget;
    std::string m_strHiddenDirectory;
    std::string m_strHiddenName;
    std::unordered_set<HANDLE> m_listingsShowingNewFile;
};

}  // namespace

CPlatform& NativePlatform() {
    // Never destroyed: its directory cache goes back to the system with the process.
    static CWin32Platform& platform = *new CWin32Platform;
    return platform;
}

ListingFailure ClassifyListingFailure(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_NOT_READY:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_DIRECTORY:
            return ListingFailure::ABSENT;
        case ERROR_ACCESS_DENIED:
            return ListingFailure::NOT_LISTED;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ListingFailure::OUT_OF_MEMORY;
        default:
            return ListingFailure::FAILED;
    }
}

// The C runtime's multibyte functions follow the user's ANSI code page, as the API calls do.
void InitializeProcess() {
    std::setlocale(LC_CTYPE, "");
    // The C runtime leaves standard output unbuffered on any character device, since it cannot
    // tell a console from the NUL device; every piece written would then be a system call of
    // its own. Only a real console keeps that.
    DWORD mode;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
        std::setvbuf(stdout, nullptr, _IOFBF, OUTPUT_BUFFER_SIZE);
    }
}

namespace {

struct CThreadBody {
    void (*body)(void*);
    void* context;
};

DWORD WINAPI RunThreadBody(LPVOID argument) {
    const CThreadBody* thread = static_cast<const CThreadBody*>(argument);
    thread->body(thread->context);
    return 0;
}

}  // namespace

bool RunOnLargeStack(size_t stackBytes, void (*body)(void*), void* context) {
    CThreadBody thread{body, context};
    HANDLE handle = CreateThread(nullptr, stackBytes, RunThreadBody, &thread,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (handle == nullptr) return false;
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
    return true;
}

unsigned long LastSystemError() {
    // Windows' own number says most (a full disk, a pipe closed by its reader); some C runtimes
    // fail a write without setting errno at all.
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : static_cast<unsigned long>(errno);
}

void ClearSystemError() {
    SetLastError(ERROR_SUCCESS);
    errno = 0;
}

size_t StackRoom() {
    ULONG_PTR lowest = 0;
    ULONG_PTR highest = 0;
    GetCurrentThreadStackLimits(&lowest, &highest);
    char here = 0;
    const ULONG_PTR top = reinterpret_cast<ULONG_PTR>(&here);
    return top > lowest ? static_cast<size_t>(top - lowest) : 0;
}
