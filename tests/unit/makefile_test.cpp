// The makefile of /F on the native platform, in a real tree: the new file is made exclusively,
// hidden from the run, and replaces the named file only when committed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "platform/platform.h"
#include "temp_tree.h"

namespace {

namespace fs = std::filesystem;

class MakefileTree : public ::testing::Test {
protected:
    void SetUp() override { m_tree.Enter(); }

    static std::set<std::string> Names() {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator("."))
            names.insert(entry.path().filename().string());
        return names;
    }
    static std::string Bytes(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The name of the new file that CreateMakefile made beside the files in `before`.
    static std::string NewName(const std::set<std::string>& before) {
        for (const std::string& name : Names())
            if (before.count(name) == 0) return name;
        return std::string();
    }

    CTempTree m_tree;
};

// Another run's new file (a run of the same process number, killed) is never written over, and
// the run sees its own new file in no listing.
TEST_F(MakefileTree, NewFileIsMadeExclusivelyAndHidden) {
    m_tree.Write("depend.mak", "old");
    const std::set<std::string> before = Names();
    unsigned long error = 0;
    std::FILE* first = Platform().CreateMakefile("depend.mak", error);
    ASSERT_NE(first, nullptr) << error;
    const std::string taken = NewName(before);
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(ListMatches("*"), (std::vector<std::string>{".", "..", "depend.mak"}));
    EXPECT_EQ(ListMatches(taken), std::vector<std::string>());
    Platform().DiscardMakefile();
    EXPECT_EQ(Names(), before);

    m_tree.Write(taken, "another run's");
    const std::set<std::string> withStale = Names();
    std::FILE* second = Platform().CreateMakefile("depend.mak", error);
    ASSERT_NE(second, nullptr) << error;
    EXPECT_FALSE(NewName(withStale).empty());
    std::fputs("new\n", second);
    ASSERT_TRUE(Platform().CommitMakefile(error)) << error;
    EXPECT_EQ(Bytes(taken), "another run's");
    EXPECT_EQ(Names(), withStale);
    // Text as standard output carries it: CR LF on Windows.
    const std::string written = Bytes("depend.mak");
    EXPECT_TRUE(written == "new\n" || written == "new\r\n") << written;
}

}  // namespace
