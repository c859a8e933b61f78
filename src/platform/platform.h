// The one interface between the core and the operating system.
//
// The core (command line, scan, output, targets) sees files only through this class: full-path
// conversion, a wildcard directory listing, raw read-only files, the environment and the code
// page's case mapping. Windows implements it with the real Win32 API; POSIX systems implement it
// as a Windows view of the POSIX file system (drive C: is the root, names match without regard to
// letter case, listings come in a fixed order), so that both builds write the same bytes.
//
// Tests may install a platform of their own (a wrapper that counts calls or injects faults)
// with SetPlatform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// One entry delivered by a directory listing.
struct CFindData {
    std::string cFileName;  // the stored name: the long name, letter case as on disk
};

// The handle of an open directory listing; INVALID_FIND_HANDLE when none is open.
typedef void* FindHandle;
const FindHandle INVALID_FIND_HANDLE = nullptr;

// The handle of an open read-only file; INVALID_FILE_HANDLE when none is open.
typedef void* FileHandle;
const FileHandle INVALID_FILE_HANDLE = nullptr;

// Which files an open accepts. Sources and headers are disk files: a pipe, a FIFO or a device
// could block the run or never end. A response file is the caller's own and may be any of them.
enum class OpenScope { DISK_FILE, ANY_FILE };

// What an open learns of the file besides its bytes.
struct CFileFacts {
    // The size in bytes, or -1 when it tells none (a pipe or a device), so that a reader knows
    // it has reached the end without one more read.
    int64_t size = -1;
    // The file itself, whatever name reached it (a link, a hard link): device and inode, or
    // volume serial and file index. Meaningful only when hasIdentity is set.
    bool hasIdentity = false;
    uint64_t volume = 0;
    uint64_t index = 0;
    // Set by a failed open in the scope DISK_FILE when the name reached something else (a pipe,
    // a device): for the caller, no file of that name is there.
    bool notDiskFile = false;
};

class CPlatform {
public:
    virtual ~CPlatform() = default;

    // The longest full path the platform can make (259 on Windows, 4095 on POSIX).
    virtual size_t MaxFullPath() const = 0;

    // The absolute path of `name`, with drive, "." and ".." resolved textually and backslashes
    // as separators, the way GetFullPathNameA makes it. Returns false, with `out` empty, when
    // the result would be longer than MaxFullPath() or cannot be made.
    virtual bool GetFullPath(const char* name, std::string& out) = 0;

    // Opens a listing of the entries that match `pattern` (wildcards `*` and `?` in the last
    // component, letter case ignored) and delivers the first one. Files and directories alike.
    // Returns INVALID_FIND_HANDLE when nothing matches.
    virtual FindHandle FindFirstFile(const char* pattern, CFindData& data) = 0;
    // Delivers the next entry; false when the listing has no more.
    virtual bool FindNextFile(FindHandle handle, CFindData& data) = 0;
    virtual void FindClose(FindHandle handle) = 0;

    // Opens a file for reading, sharing it with every other program where the platform has
    // share modes, and tells its facts. A directory cannot be opened, nor, in the scope DISK_FILE,
    // anything but a disk file. Returns INVALID_FILE_HANDLE on failure (with notDiskFile where it
    // applies).
    virtual FileHandle OpenFile(const char* name, OpenScope scope, CFileFacts& facts) = 0;
    // Reads up to `size` bytes; returns the count (0 at the end of the file), or -1 with the
    // operating system's error number in `error`.
    virtual long ReadFile(FileHandle file, char* buffer, size_t size, unsigned long& error) = 0;
    // Moves to the absolute byte offset `position`; false with the error number on failure.
    virtual bool SeekFile(FileHandle file, int64_t position, unsigned long& error) = 0;
    virtual void CloseFile(FileHandle file) = 0;

    // The value of the environment variable `name` (letter case of the name ignored, an exact
    // match first). False when it is not set.
    virtual bool GetEnvironment(const char* name, std::string& value) = 0;

    // The code page's case mapping, in place; a multibyte character is mapped as one character.
    virtual void LowerCase(std::string& text) = 0;
    virtual void UpperCase(std::string& text) = 0;

    // The length in bytes of the (multibyte) character that starts at `text`, at least 1.
    virtual size_t CharLength(const char* text) = 0;

    // The one file the run writes, the makefile of /F. CreateMakefile makes a new, empty file
    // beside the file `name` names (found as any other name: an existing file in another letter
    // case is that file, a symbolic link leads to the file it names), under a name of its own that
    // no other run meets and no listing of this run shows, and returns it as a text stream; null
    // with the system's error number when the named file is a directory or may not be written,
    // or the new file cannot be made. Until CommitMakefile or DiscardMakefile, an interrupt or a
    // termination signal removes the new file before the process ends.
    virtual std::FILE* CreateMakefile(const char* name, unsigned long& error) = 0;
    // Closes the new file and puts it in the named file's place, which keeps its link, its
    // permission bits and its stored name; when the named file holds the same bytes already, it
    // is left untouched, its time included, and the new file goes. False with the system's error
    // number when the new file cannot be completed or put in place; it is removed then.
    virtual bool CommitMakefile(unsigned long& error) = 0;
    // Closes and removes the new file.
    virtual void DiscardMakefile() = 0;

    // Drops what the platform remembers of the file system and the current directory. The tool
    // never changes either during a run; tests that do call this before asking again.
    virtual void ForgetFileSystem() {}
};

// The platform in use; the native one unless a test installed another.
CPlatform& Platform();

// Installs `platform` (not owned) and returns the previous one; null restores the native one.
CPlatform* SetPlatform(CPlatform* platform);

// The native platform of this build (one implementation file per platform defines it).
CPlatform& NativePlatform();

// Process set-up that the platform needs before anything else runs (locale, stream modes, and
// on POSIX a write to a pipe without reader failing with EPIPE instead of ending the process).
void InitializeProcess();

// The buffer of standard output and of the makefile's new file, when neither is a terminal.
const size_t OUTPUT_BUFFER_SIZE = 64 * 1024;

// The system's error number of the last failed call (the operating system's own where it keeps
// one beside errno). ClearSystemError before a call makes a stale number impossible.
unsigned long LastSystemError();
void ClearSystemError();

// The bytes of stack left to the calling thread below the caller's frame; 0 when unknown.
size_t StackRoom();

// The recursions of the run (the scan, the walks of the include graph) go one level deeper per
// level of include nesting. A CStackWatch, made where the run begins, notes where fewer than
// `reserve` bytes of the thread's stack would remain, until it is destroyed; StackIsLow tells a
// level that it is there, so that the run ends with a report instead of a crash. Without a
// watch, or a known stack, nothing is low.
class CStackWatch {
public:
    explicit CStackWatch(size_t reserve);
    ~CStackWatch();
    CStackWatch(const CStackWatch&) = delete;
    CStackWatch& operator=(const CStackWatch&) = delete;
};
extern uintptr_t g_nStackLimit;  // the lowest address a level may use; 0 when nothing is watched
inline bool StackIsLow() {
    char here = 0;
    return reinterpret_cast<uintptr_t>(&here) < g_nStackLimit;
}

// Runs body(context) on a thread whose stack may grow to `stackBytes` (reserved, not committed)
// and waits for it to end. False when no such thread could be made; the body has not run then.
bool RunOnLargeStack(size_t stackBytes, void (*body)(void*), void* context);
