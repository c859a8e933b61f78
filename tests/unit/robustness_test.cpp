// Inputs nobody cleaned: binary sources, huge lines, lone carriage returns, deep chains.
#include <gtest/gtest.h>

#include "app_runner.h"
#include "memory_platform.h"

namespace {

class RobustnessTest : public testing::Test {
protected:
    CMemoryPlatform files;
};

TEST_F(RobustnessTest, BinarySourceWithNulBytesIsReadToItsEnd) {
    std::string binary(
        "\x7f"
        "ELF\0\0\0#include \"hidden.h\"\n",
        28);
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>(i * 37);
    binary += "\n#include \"a.h\"\n";
    files.Write("tool.c", binary);
    files.Write("a.h", "");
    CAppRun run({"/nologo", "/Ef1", "tool.c"});
    EXPECT_EQ(0, run.ExitCode()) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("\"a.h\"")) << run.out;
    EXPECT_EQ(std::string::npos, run.out.find("hidden.h")) << "a NUL byte ends the examined text";
}

TEST_F(RobustnessTest, TenMegabyteLineIsExaminedInPieces) {
    std::string line(10 * 1024 * 1024, 'x');
    line.replace(2000 * 1999, 14, "#include \"a.h\"");  // where a piece begins
    files.Write("big.c", line);
    files.Write("a.h", "");
    CAppRun run({"/nologo", "big.c"});
    EXPECT_EQ("\"big.obj\": \"big.c\" \\\n\t\"a.h\"\n\n", run.out);
    EXPECT_EQ(0, run.ExitCode());
}

TEST_F(RobustnessTest, CarriageReturnsAloneDoNotEndLines) {
    // As in a Windows text-mode read, a lone CR is an ordinary character: the file is one line,
    // and only its first include counts.
    files.Write("mac.c", "#include \"a.h\"\r#include \"b.h\"\r");
    files.Write("a.h", "");
    files.Write("b.h", "");
    CAppRun run({"/nologo", "mac.c"});
    EXPECT_EQ("\"mac.obj\": \"mac.c\" \\\n\t\"a.h\"\n\n", run.out);
}

TEST_F(RobustnessTest, ChainOfHundredThousandHeadersEndsWithoutCrash) {
    const int depth = 100000;
    files.Write("main.c", "#include \"h0.h\"\n");
    for (int i = 0; i < depth; ++i) {
        files.Write("h" + std::to_string(i) + ".h",
                    i + 1 < depth ? "#include \"h" + std::to_string(i + 1) + ".h\"\n" : "");
    }
    files.Write("last.c", "#include \"h99997.h\"\n");
    CAppRun run({"/nologo", "main.c", "last.c"});
    EXPECT_EQ(0, run.ExitCode()) << run.err;
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0u, run.out.find("\"main.obj\": \"main.c\" \\\n\t\"h0.h\" \\\n"));
    const std::string last = "\"last.obj\": \"last.c\" \\\n";
    const size_t start = run.out.find(last);
    ASSERT_NE(std::string::npos, start);
    EXPECT_EQ(last + "\t\"h99997.h\" \\\n\t\"h99998.h\" \\\n\t\"h99999.h\"\n\n",
              run.out.substr(start));
}

}  // namespace
