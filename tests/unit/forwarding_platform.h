// A platform for tests: forwards to the native one; a test overrides what it wants to watch or
// fake, and installs it for its own lifetime.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

class CForwardingPlatform : public CPlatform {
public:
    CForwardingPlatform() : m_native(NativePlatform()) { m_pPrevious = SetPlatform(this); }
    ~CForwardingPlatform() override { SetPlatform(m_pPrevious); }

    size_t MaxFullPath() const override { return m_native.MaxFullPath(); }
    bool GetFullPath(const char* name, std::string& out) override {
        return m_native.GetFullPath(name, out);
    }
    FindHandle FindFirstFile(const char* pattern, CFindData& data) override {
        return m_native.FindFirstFile(pattern, data);
    }
    bool FindNextFile(FindHandle handle, CFindData& data) override {
        return m_native.FindNextFile(handle, data);
    }
    void FindClose(FindHandle handle) override { m_native.FindClose(handle); }
    FileHandle OpenFile(const char* name, OpenScope scope, CFileFacts& facts) override {
        return m_native.OpenFile(name, scope, facts);
    }
    long ReadFile(FileHandle file, char* buffer, size_t size, unsigned long& error) override {
        return m_native.ReadFile(file, buffer, size, error);
    }
    bool SeekFile(FileHandle file, int64_t position, unsigned long& error) override {
        return m_native.SeekFile(file, position, error);
    }
    void CloseFile(FileHandle file) override { m_native.CloseFile(file); }
    bool GetEnvironment(const char* name, std::string& value) override {
        return m_native.GetEnvironment(name, value);
    }
    void LowerCase(std::string& text) override { m_native.LowerCase(text); }
    void UpperCase(std::string& text) override { m_native.UpperCase(text); }
    size_t CharLength(const char* text) override { return m_native.CharLength(text); }
    void ForgetFileSystem() override { m_native.ForgetFileSystem(); }

protected:
    CPlatform& m_native;

private:
    CPlatform* m_pPrevious;
};

// Every name the platform's listing delivers for `pattern`, in its order.
inline std::vector<std::string> ListMatches(const std::string& pattern) {
    std::vector<std::string> names;
    CFindData data;
    FindHandle find = Platform().FindFirstFile(pattern.c_str(), data);
    if (find == INVALID_FIND_HANDLE) return names;
    do {
        names.push_back(data.cFileName);
    } while (Platform().FindNextFile(find, data));
    Platform().FindClose(find);
    return names;
}

// Opens a disk file as the scan does.
inline FileHandle OpenDiskFile(const char* name) {
    CFileFacts facts;
    return Platform().OpenFile(name, OpenScope::DISK_FILE, facts);
}

// `text` through the platform's case mapping.
inline std::string LowerCased(std::string text) {
    Platform().LowerCase(text);
    return text;
}
inline std::string UpperCased(std::string text) {
    Platform().UpperCase(text);
    return text;
}
