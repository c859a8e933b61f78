// Runs the whole application on an argument list, as main does, and keeps what it wrote.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/dependency_app.h"

class CAppRun {
public:
    explicit CAppRun(const std::vector<std::string>& args) {
        m_storage.push_back(Chars("incwalk32"));
        for (const std::string& arg : args)
            m_storage.push_back(Chars(arg));
        for (auto& chars : m_storage)
            m_argv.push_back(chars.data());
        m_argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        app.reset(new CDependencyApp(static_cast<int>(m_argv.size() - 1), m_argv.data()));
        err = testing::internal::GetCapturedStderr();
        out = testing::internal::GetCapturedStdout();
    }

    int ExitCode() const { return app->m_nExitCode; }

    std::unique_ptr<CDependencyApp> app;
    std::string out;
    std::string err;

private:
    static std::vector<char> Chars(const std::string& text) {
        return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
    }
    std::vector<std::vector<char>> m_storage;  // argument texts outlive the application
    std::vector<char*> m_argv;
};
