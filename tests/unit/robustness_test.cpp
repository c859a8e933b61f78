// Inputs nobody cleaned: binary sources, huge lines, deep chains, link loops, failing platforms.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <new>
#include <vector>

#include "app_runner.h"
#include "forwarding_platform.h"
#include "temp_tree.h"

namespace {

class RobustnessTest : public testing::Test {
protected:
    void SetUp() override { tree.Enter(); }
    CTempTree tree;
};

TEST_F(RobustnessTest, BinarySourceWithNulBytesIsReadToItsEnd) {
    std::string binary(
        "\x7f"
        "ELF\0\0\0#include \"hidden.h\"\n",
        28);
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>(i * 37);
    binary += "\n#include \"a.h\"\n";
    tree.Write("tool.c", binary);
    tree.Write("a.h", "");
    CAppRun run({"/nologo", "/Ef1", "tool.c"});
    EXPECT_EQ(0, run.ExitCode()) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("\"a.h\"")) << run.out;
    EXPECT_EQ(std::string::npos, run.out.find("hidden.h")) << "a NUL byte ends the examined text";
}

TEST_F(RobustnessTest, TenMegabyteLineIsExaminedInPieces) {
    std::string line(10 * 1024 * 1024, 'x');
    line.replace(2000 * 1999, 14, "#include \"a.h\"");  // where a piece begins
    tree.Write("big.c", line);
    tree.Write("a.h", "");
    CAppRun run({"/nologo", "big.c"});
    EXPECT_EQ("\"big.obj\": \"big.c\" \\\n\t\"a.h\"\n\n", run.out);
    EXPECT_EQ(0, run.ExitCode());
}

TEST_F(RobustnessTest, CarriageReturnsAloneDoNotEndLines) {
    // As in a Windows text-mode read, a lone CR is an ordinary character: the file is one line,
    // and only its first include counts.
    tree.Write("mac.c", "#include \"a.h\"\r#include \"b.h\"\r");
    tree.Write("a.h", "");
    tree.Write("b.h", "");
    CAppRun run({"/nologo", "mac.c"});
    EXPECT_EQ("\"mac.obj\": \"mac.c\" \\\n\t\"a.h\"\n\n", run.out);
}

TEST_F(RobustnessTest, ChainOfHundredThousandHeadersEndsWithoutCrash) {
    const int depth = 100000;
    tree.Write("main.c", "#include \"h0.h\"\n");
    for (int i = 0; i < depth; ++i) {
        // Written directly: a hundred thousand files through the tree's helper take too long.
        std::FILE* header = std::fopen(tree.Path("h" + std::to_string(i) + ".h").c_str(), "wb");
        ASSERT_NE(nullptr, header);
        if (i + 1 < depth) std::fprintf(header, "#include \"h%d.h\"\n", i + 1);
        std::fclose(header);
    }
    Platform().ForgetFileSystem();
    tree.Write("last.c", "#include \"h99990.h\"\n");
    CAppRun run({"/nologo", "main.c", "last.c"});
    EXPECT_EQ(0, run.ExitCode()) << run.err;
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0u, run.out.find("\"main.obj\": \"main.c\" \\\n\t\"h0.h\" \\\n"));
    const std::string last = "\"last.obj\": \"last.c\" \\\n";
    const size_t start = run.out.find(last);
    ASSERT_NE(std::string::npos, start);
    EXPECT_EQ(last + "\t\"h99990.h\" \\\n" + "\t\"h99991.h\" \\\n" + "\t\"h99992.h\" \\\n" +
                  "\t\"h99993.h\" \\\n" + "\t\"h99994.h\" \\\n" + "\t\"h99995.h\" \\\n" +
                  "\t\"h99996.h\" \\\n" + "\t\"h99997.h\" \\\n" + "\t\"h99998.h\" \\\n" +
                  "\t\"h99999.h\"\n\n",
              run.out.substr(start));
}

TEST_F(RobustnessTest, LongIncludeNameIsReportedWhole) {
    const std::string name = std::string(1500, 'n') + ".h";
    tree.Write("main.c", "#include \"" + name + "\"\n");
    CAppRun run({"/nologo", "/Ef1", "main.c"});
    EXPECT_EQ(0, run.ExitCode());
    EXPECT_NE(std::string::npos, run.err.find(": include file " + name + " not found\n"));
    EXPECT_EQ("\"main.obj\": \"main.c\"\n\n", run.out);
}

TEST_F(RobustnessTest, BlanksNonAsciiBytesAndLetterCaseInNames) {
    tree.Write("My Src/Ma\xc3\xafn.C", "#include \"Sub Dir/\xc3\xa9T\xc3\xa9.H\"\n");
    tree.Write("My Src/sub dir/\xc3\xa9t\xc3\xa9.h", "");
    CAppRun run({"/nologo", "my src\\*.c"});
    EXPECT_EQ(
        "\"my src\\ma\xc3\xafn.obj\": \"ma\xc3\xafn.c\" \\\n"
        "\t\"sub dir\\\xc3\xa9t\xc3\xa9.h\"\n\n",
        run.out);
    EXPECT_EQ(0, run.ExitCode()) << run.err;
}

// Runs the tool in `root` on a tree whose files were made in the given order.
std::string RunOnTreeMadeInOrder(CTempTree& tree, const std::string& root,
                                 const std::vector<std::string>& order) {
    for (const std::string& name : order) {
        tree.Write(root + "/" + name,
                   name.back() == 'c' ? "#include \"z.h\"\n#include \"A.h\"\n" : "");
    }
    std::filesystem::current_path(tree.Path(root));
    Platform().ForgetFileSystem();
    CAppRun run({"/nologo", "/Go", "*.c"});
    return run.out;
}

TEST_F(RobustnessTest, OutputDoesNotDependOnTheOrderFilesWereMade) {
    const std::vector<std::string> order{"b.c", "A.c", "z.h", "a.h", "C.c", "Z.h"};
    const std::string first = RunOnTreeMadeInOrder(tree, "one", order);
    const std::string second =
        RunOnTreeMadeInOrder(tree, "two", std::vector<std::string>(order.rbegin(), order.rend()));
    EXPECT_EQ(first, second);
    EXPECT_EQ(0u, first.find("\"a.obj\": \"a.c\" \\\n")) << first;
}

// A platform whose every open runs out of memory.
class COutOfMemory : public CForwardingPlatform {
public:
    FileHandle OpenFile(const char*, OpenScope, CFileFacts&) override { throw std::bad_alloc(); }
};

TEST_F(RobustnessTest, ExhaustedMemoryEndsTheRunWith254) {
    tree.Write("a.c", "");
    COutOfMemory platform;
    CAppRun run({"/nologo", "MACRO=1", "a.c"});
    EXPECT_EQ("MACRO=1\n\n", run.out);
    EXPECT_EQ("incwalk32: sorry, out of memory\n", run.err);
    EXPECT_EQ(254, run.ExitCode());
}

}  // namespace
