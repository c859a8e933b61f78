// Inputs too large for a readable end-to-end case: a huge line, a deep chain.
#include <gtest/gtest.h>

#include "app_runner.h"
#include "memory_platform.h"

namespace {

class RobustnessTest : public testing::Test {
protected:
    CMemoryPlatform files;
};

TEST_F(RobustnessTest, TenMegabyteLineIsExaminedInPieces) {
    std::string line(10 * 1024 * 1024, 'x');
    line.replace(2000 * 1999, 14, "#include \"a.h\"");  // where a piece begins
    files.Write("big.c", line);
    files.Write("a.h", "");
    CAppRun run({"/nologo", "big.c"});
    EXPECT_EQ("\"big.obj\": \"big.c\" \\\n\t\"a.h\"\n\n", run.out);
    EXPECT_EQ(0, run.ExitCode());
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
