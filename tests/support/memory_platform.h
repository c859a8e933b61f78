// A file system in memory for the unit tests and the fuzzers: files by full path with their
// bytes, directories, the environment, faults to inject, and a record of what the core asked for.
// The current directory is c:\work. Names match without regard to letter case, as on Windows, so
// the tree holds one file per name whatever its case; a listing comes in the order of both real
// platforms (the dots, then the names by their upper-cased bytes). Full paths and case mapping
// are the native platform's, on names it never looks up.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/platform.h"

class CMemoryPlatform : public CPlatform {
public:
    // Installs itself for its lifetime.
    CMemoryPlatform() : m_pPrevious(SetPlatform(this)) { m_entries[Key("c:")].isDirectory = true; }
    ~CMemoryPlatform() override {
        DiscardMakefile();
        SetPlatform(m_pPrevious);
    }
    CMemoryPlatform(const CMemoryPlatform&) = delete;
    CMemoryPlatform& operator=(const CMemoryPlatform&) = delete;

    // --- The tree. Names are relative to c:\work or absolute, with either separator.
    void Write(const std::string& name, const std::string& bytes) {
        CEntry& entry = Make(Full(name));
        entry.bytes = bytes;
        entry.isDirectory = false;
    }
    void Remove(const std::string& name) { m_entries.erase(Key(Full(name))); }
    // The full path the platform makes of `name`, letter case as written.
    std::string Full(const std::string& name) {
        std::string full;
        GetFullPath(name.c_str(), full);
        return full;
    }

    // --- Faults.
    static const int64_t TRUE_SIZE = -2;
    size_t chunk = 0;              // the most bytes one read delivers; 0: as many as asked for
    int64_t toldSize = TRUE_SIZE;  // the size opens tell: -1 none (a pipe), 0 as files in /proc
    std::string failReadsOf;       // reads of this file (a full path) fail with error 5
    std::string failReopenOf;      // every open of this file after its first fails
    bool outOfMemoryOnOpen = false;

    // --- The record, by full path as written.
    std::map<std::string, int> opens;
    std::map<std::string, long> bytesRead;
    std::map<std::string, int> reads;  // ReadFile calls
    int openFiles = 0;
    int mostOpenFiles = 0;
    int openListings = 0;
    long listings = 0;  // FindFirstFile calls: the probes of the scan's search
    int badSeeks = 0;   // seeks before the start or beyond the end of a file

    std::map<std::string, std::string> environment;

    size_t MaxFullPath() const override { return NativePlatform().MaxFullPath(); }

    // A name on drive C: without its root is taken from the root, as on any other drive.
    bool GetFullPath(const char* name, std::string& out) override {
        std::string absolute = name;
        const bool rooted = IsSeparator(absolute[0]);
        const char letter = static_cast<char>(absolute[0] | 0x20);
        const bool drive =
            absolute.size() >= 2 && absolute[1] == ':' && letter >= 'a' && letter <= 'z';
        if (rooted && !IsSeparator(absolute[1])) {
            absolute.insert(0, "c:");
        } else if (drive && !IsSeparator(absolute[2])) {
            absolute.insert(2, "\\");
        } else if (!rooted && !drive && !absolute.empty()) {
            absolute.insert(0, "c:\\work\\");
        }
        return NativePlatform().GetFullPath(absolute.c_str(), out);
    }

    FindHandle FindFirstFile(const char* pattern, CFindData& data) override {
        ++listings;
        std::string full;
        if (!GetFullPath(pattern, full)) return INVALID_FIND_HANDLE;
        const size_t cut = full.rfind('\\');
        const std::string dirKey = Key(full.substr(0, cut));
        const std::string leaf = Key(full.substr(cut + 1));
        auto dir = m_entries.find(dirKey);
        if (dir == m_entries.end() || !dir->second.isDirectory) return INVALID_FIND_HANDLE;
        std::unique_ptr<CListing> listing(new CListing);
        for (const char* dots : {".", ".."}) {  // as on Windows, a root has none
            if (dirKey.size() > 2 && Matches(leaf.c_str(), dots)) listing->names.push_back(dots);
        }
        const std::string prefix = dirKey + '\\';
        if (leaf.find_first_of("*?") == std::string::npos) {
            auto found = m_entries.find(prefix + leaf);
            if (found != m_entries.end()) listing->names.push_back(found->second.name);
        } else {
            for (auto it = m_entries.lower_bound(prefix);
                 it != m_entries.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
                const std::string name = it->first.substr(prefix.size());
                if (name.find('\\') == std::string::npos && Matches(leaf.c_str(), name.c_str()))
                    listing->names.push_back(it->second.name);
            }
        }
        if (listing->names.empty()) return INVALID_FIND_HANDLE;
        data.cFileName = listing->names[0];
        ++openListings;
        return listing.release();
    }
    bool FindNextFile(FindHandle handle, CFindData& data) override {
        CListing* listing = static_cast<CListing*>(handle);
        if (++listing->next >= listing->names.size()) return false;
        data.cFileName = listing->names[listing->next];
        return true;
    }
    void FindClose(FindHandle handle) override {
        if (handle == INVALID_FIND_HANDLE) return;
        --openListings;
        delete static_cast<CListing*>(handle);
    }

    FileHandle OpenFile(const char* name, OpenScope, CFileFacts& facts) override {
        if (outOfMemoryOnOpen) throw std::bad_alloc();
        facts = CFileFacts();
        std::string full;
        if (std::strpbrk(name, "*?") != nullptr || !GetFullPath(name, full))
            return INVALID_FILE_HANDLE;
        auto found = m_entries.find(Key(full));
        if (found == m_entries.end() || found->second.isDirectory) return INVALID_FILE_HANDLE;
        CEntry& entry = found->second;
        if (entry.path == failReopenOf && opens[entry.path] > 0) return INVALID_FILE_HANDLE;
        ++opens[entry.path];
        if (++openFiles > mostOpenFiles) mostOpenFiles = openFiles;
        facts.size = toldSize == TRUE_SIZE ? static_cast<int64_t>(entry.bytes.size()) : toldSize;
        facts.hasIdentity = true;
        facts.index = entry.identity;
        return new COpenFile{&entry, 0};
    }
    long ReadFile(FileHandle file, char* buffer, size_t size, unsigned long& error) override {
        COpenFile& open = *static_cast<COpenFile*>(file);
        if (open.entry->path == failReadsOf) {
            error = 5;
            return -1;
        }
        ++reads[open.entry->path];
        size_t count = std::min(size, open.entry->bytes.size() - open.position);
        if (chunk != 0) count = std::min(count, chunk);
        std::memcpy(buffer, open.entry->bytes.data() + open.position, count);
        open.position += count;
        bytesRead[open.entry->path] += static_cast<long>(count);
        return static_cast<long>(count);
    }
    bool SeekFile(FileHandle file, int64_t position, unsigned long& error) override {
        COpenFile& open = *static_cast<COpenFile*>(file);
        if (position < 0 || static_cast<uint64_t>(position) > open.entry->bytes.size()) {
            ++badSeeks;
            error = 22;
            return false;
        }
        open.position = static_cast<size_t>(position);
        return true;
    }
    void CloseFile(FileHandle file) override {
        if (file == INVALID_FILE_HANDLE) return;
        --openFiles;
        delete static_cast<COpenFile*>(file);
    }

    bool GetEnvironment(const char* name, std::string& value) override {
        auto found = environment.find(name);  // the exact name first
        for (auto it = environment.begin(); found == environment.end() && it != environment.end();
             ++it) {
            if (Key(it->first) == Key(name)) found = it;
        }
        if (found == environment.end()) return false;
        value = found->second;
        return true;
    }

    // The makefiles of /F by the names given, apart from the tree, which stays as the test made
    // it: written into a temporary file of the host, kept here when committed.
    std::map<std::string, std::string> makefiles;
    bool MakefileOpen() const { return m_pMakefile != nullptr; }
    std::FILE* CreateMakefile(const char* name, unsigned long& error) override {
        m_strMakefile = name;
        m_pMakefile = std::tmpfile();
        if (m_pMakefile == nullptr) error = 28;
        return m_pMakefile;
    }
    bool CommitMakefile(unsigned long&) override {
        std::string bytes;
        std::rewind(m_pMakefile);
        for (int c; (c = std::fgetc(m_pMakefile)) != EOF;)
            bytes += static_cast<char>(c);
        DiscardMakefile();
        makefiles[m_strMakefile] = bytes;
        return true;
    }
    void DiscardMakefile() override {
        if (m_pMakefile != nullptr) std::fclose(m_pMakefile);
        m_pMakefile = nullptr;
    }

    void LowerCase(std::string& text) override { NativePlatform().LowerCase(text); }
    void UpperCase(std::string& text) override { NativePlatform().UpperCase(text); }
    size_t CharLength(const char* text) override { return NativePlatform().CharLength(text); }

private:
    struct CEntry {
        std::string path;  // the full path as written
        std::string name;  // its last component
        std::string bytes;
        bool isDirectory = false;
        uint64_t identity = 0;
    };
    struct COpenFile {
        CEntry* entry;
        size_t position;
    };
    struct CListing {
        std::vector<std::string> names;
        size_t next = 0;
    };

    static bool IsSeparator(char c) { return c == '\\' || c == '/'; }
    static std::string Key(std::string text) {
        NativePlatform().UpperCase(text);
        return text;
    }
    // `*` any run of characters, `?` one; both texts upper-cased.
    static bool Matches(const char* pattern, const char* name) {
        if (*pattern == '\0') return *name == '\0';
        if (*pattern == '*')
            return Matches(pattern + 1, name) || (*name && Matches(pattern, name + 1));
        return *name && (*pattern == '?' || *pattern == *name) && Matches(pattern + 1, name + 1);
    }
    // The entry of `full` and the directories above it.
    CEntry& Make(const std::string& full) {
        for (size_t cut = full.find('\\', 2); cut != std::string::npos;
             cut = full.find('\\', cut + 1)) {
            MakeEntry(full.substr(0, cut)).isDirectory = true;
        }
        return MakeEntry(full);
    }
    CEntry& MakeEntry(const std::string& full) {
        CEntry& entry = m_entries[Key(full)];
        if (entry.path.empty()) {
            entry.path = full;
            entry.name = full.substr(full.rfind('\\') + 1);
            entry.identity = ++m_nIdentities;
        }
        return entry;
    }

    std::map<std::string, CEntry> m_entries;  // by upper-cased full path
    std::string m_strMakefile;
    std::FILE* m_pMakefile = nullptr;
    uint64_t m_nIdentities = 0;
    CPlatform* m_pPrevious;
};
