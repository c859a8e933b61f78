// A real directory tree for the tests of the two platform layers, removed afterwards; optionally
// the current directory while the test runs. And the probes those tests make through the platform.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"

class CTempTree {
public:
    CTempTree() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        // A number of its own, so that two runs of the tests at once never share a tree.
        char unique[16];
        std::snprintf(unique, sizeof unique, "-%08x",
                      static_cast<unsigned>(std::random_device()()));
        m_root = std::filesystem::temp_directory_path() /
                 (std::string("incwalk32-unit-") + info->test_suite_name() + "-" + info->name() +
                  unique);
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root);
        Platform().ForgetFileSystem();
    }
    ~CTempTree() {
        if (!m_previous.empty()) std::filesystem::current_path(m_previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
        Platform().ForgetFileSystem();
    }

    // Writes `content` byte for byte to `relative`, making its directories.
    void Write(const std::string& relative, const std::string& content) {
        const std::filesystem::path file = m_root / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        Platform().ForgetFileSystem();
    }
    void MakeDir(const std::string& relative) {
        std::filesystem::create_directories(m_root / relative);
        Platform().ForgetFileSystem();
    }

    // Makes the tree the current directory until the test ends.
    void Enter() {
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_root);
        Platform().ForgetFileSystem();
    }

    std::string Path(const std::string& relative = std::string()) const {
        return (m_root / relative).string();
    }

private:
    std::filesystem::path m_root;
    std::filesystem::path m_previous;
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
inline std::string Lower(std::string text) {
    Platform().LowerCase(text);
    return text;
}
inline std::string Upper(std::string text) {
    Platform().UpperCase(text);
    return text;
}
