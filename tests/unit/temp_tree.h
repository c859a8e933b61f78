// A real directory tree for a test, removed afterwards; optionally the current directory while
// the test runs.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"

class CTempTree {
public:
    CTempTree() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        m_root = std::filesystem::temp_directory_path() /
                 (std::string("incwalk32-unit-") + info->test_suite_name() + "-" + info->name());
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
    void Remove(const std::string& relative) {
        std::filesystem::remove(m_root / relative);
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
