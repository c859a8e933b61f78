// What the scan costs and how it fails where no tree on disk can show it: opens, reads and open
// files counted, directory probes, reads that fail, an includer that cannot be reopened; and
// inputs too large for a readable end-to-end case: a huge line, a deep chain.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "app_runner.h"
#include "memory_platform.h"
#include "platform/text_file.h"
#include "scan/include_node.h"

namespace {

class ScanTest : public testing::Test {
protected:
    CMemoryPlatform files;
};

TEST_F(ScanTest, EachFileIsOpenedAndReadOnceWithOneFileOpenAtATime) {
    const std::map<std::string, std::string> tree = {
        {"main.c", "#include \"defs.h\"\n#include \"util\\str.h\"\n"},
        {"defs.h", "#include \"types.h\"\n"},
        {"types.h", ""},
        {"util/str.h", "#include \"types.h\"\n#include \"str.h\"\n"},
        // A fresh search for str.h's types.h from b\ would find this one: the second source
        // takes the node of the first scan instead.
        {"b/b.c", "#include \"../util/str.h\"\n"},
        {"b/types.h", ""},
    };
    for (const auto& file : tree)
        files.Write(file.first, file.second);
    CAppRun run({"/nologo", "main.c", "b\\b.c"});
    EXPECT_EQ(
        "\"main.obj\": \"main.c\" \\\n\t\"defs.h\" \\\n\t\"types.h\" \\\n\t\"util\\str.h\"\n\n"
        "\"b\\b.obj\": \"b.c\" \\\n\t\"..\\util\\str.h\" \\\n\t\"..\\types.h\"\n\n",
        run.out);
    const std::string str = files.Full("util\\str.h");
    EXPECT_EQ("incwalk32: " + str + ": recursive header " + str + "\n", run.err);
    for (const auto& file : tree) {
        const std::string full = files.Full(file.first);
        const int expected = file.first == "b/types.h" ? 0 : 1;
        EXPECT_EQ(expected, files.opens[full]) << full;
        EXPECT_EQ(expected * static_cast<long>(file.second.size()), files.bytesRead[full]) << full;
        // The size the open tells is the end: no second read is spent to find it.
        EXPECT_EQ(expected, files.reads[full]) << full;
    }
    EXPECT_EQ(1, files.mostOpenFiles) << "an includer is closed while its include is scanned";
    EXPECT_EQ(0, files.openFiles);
    EXPECT_EQ(0, files.openListings);
    EXPECT_TRUE(run.app->m_activeFiles.empty());
}

// An includer of 40 KB whose includes stand all through it, each naming a new file: every file
// is opened once however often the scan closes and reopens the includer around an include.
TEST_F(ScanTest, LargeIncluderIsOpenedOnceAcrossItsIncludes) {
    std::string big;
    for (int i = 0; i < 20; ++i) {
        big += "#include \"h" + std::to_string(i) + ".h\"\n" + std::string(2000, ' ') + "\n";
        files.Write("h" + std::to_string(i) + ".h", "#include \"common.h\"\n");
    }
    files.Write("big.c", big);
    files.Write("common.h", "");
    CAppRun run({"/nologo", "big.c"});
    EXPECT_EQ(0, run.ExitCode()) << run.err;
    for (const auto& opened : files.opens)
        EXPECT_EQ(1, opened.second) << opened.first;
    EXPECT_EQ(22u, files.opens.size());
    EXPECT_EQ(1, files.mostOpenFiles);
}

// The kept answer of the /I path for <x.h> soon knows x.h's node; a file on the active-file stack
// is still refused as recursive, and taken again once its scan is over.
TEST_F(ScanTest, KeptAnswersStillRefuseRecursion) {
    files.Write("main.c", "#include <x.h>\n#include <x.h>\n");
    files.Write("inc/x.h", "#include <y.h>\n#include <z.h>\n");
    files.Write("inc/y.h", "#include <x.h>\n");
    files.Write("inc/z.h", "#include <x.h>\n");
    CAppRun run({"/nologo", "/S", "/Iinc", "/H", "main.c"});
    const std::string tree =
        "   c:\\work\\inc\\x.h\n      c:\\work\\inc\\y.h\n      c:\\work\\inc\\z.h\n";
    EXPECT_EQ("c:\\work\\main.c\n" + tree + tree, run.out);
    const std::string x = files.Full("inc\\x.h");
    EXPECT_EQ("incwalk32: " + files.Full("inc\\y.h") + ": recursive header " + x + "\n" +
                  "incwalk32: " + files.Full("inc\\z.h") + ": recursive header " + x + "\n",
              run.err);
    EXPECT_EQ(1, files.opens[x]);
}

// Larger than the cap of a file read whole, so that the reopen after a.h needs the file.
const std::string BEYOND_THE_CAP(CTextFile::WHOLE_FILE_CAP + 1000, '\n');

// The includer is read no further once it cannot be reopened, nor once a failure ends the run in
// the file it includes: not even the rest of what it holds in memory.
TEST_F(ScanTest, IncluderThatCannotBeReopenedEndsTheRunAsUnopenable) {
    files.Write("main.c", "#include \"a.h\"\n" + BEYOND_THE_CAP + "#include \"b.h\"\n");
    files.Write("a.h", "");
    files.Write("b.h", "");
    files.failReopenOf = files.Full("main.c");
    CAppRun run({"/nologo", "main.c"});
    EXPECT_EQ("", run.out);
    EXPECT_EQ("incwalk32: : unable to open include file " + files.Full("main.c") + "\n", run.err);
    EXPECT_EQ(4, run.ExitCode());
    EXPECT_EQ(0, files.opens[files.Full("b.h")]);
    EXPECT_TRUE(run.app->m_activeFiles.empty());
}

TEST_F(ScanTest, FirstFailureKeepsItsExitCodeWhenTheIncluderCannotBeReopened) {
    files.Write("main.c", "#include \"a.h\"\n" + BEYOND_THE_CAP + "#include \"b.h\"\n");
    files.Write("a.h", "#include \"missing.h\"\n");
    files.Write("b.h", "");
    files.failReopenOf = files.Full("main.c");
    CAppRun run({"/nologo", "main.c"});
    EXPECT_EQ("incwalk32: " + files.Full("a.h") + ": include file missing.h not found\n", run.err);
    EXPECT_EQ(3, run.ExitCode());
    EXPECT_EQ(1, files.opens[files.Full("main.c")]) << "no reopen once the run is ending";
}

TEST_F(ScanTest, EachDirectoryIsSearchedOncePerIncludeHoweverDeepTheChain) {
    // A chain that alternates between two directories, each header also including one from the
    // /I path: every active file's directory is searched for it, but only two are distinct.
    const int depth = 400;
    for (int i = 0; i < depth; ++i) {
        const std::string next = i % 2 == 0 ? "../b/h" : "../a/h";
        files.Write(std::string(i % 2 == 0 ? "a" : "b") + "/h" + std::to_string(i) + ".h",
                    "#include \"common.h\"\n#include \"" + next + std::to_string(i + 1) + ".h\"\n");
    }
    files.Write(std::string(depth % 2 == 0 ? "a" : "b") + "/h" + std::to_string(depth) + ".h", "");
    files.Write("inc/common.h", "");
    files.Write("main.c", "#include \"a/h0.h\"\n");
    CAppRun run({"/nologo", "/Iinc", "main.c"});
    EXPECT_EQ(0, run.ExitCode()) << run.err;
    EXPECT_LT(files.listings, 6L * depth) << "a directory searched again for the same include";
}

TEST_F(ScanTest, ReadErrorEndsTheRunWithTheErrorNumber) {
    files.Write("a.c", "");
    files.Write("b.c", "#include \"x.h\"\n");
    files.failReadsOf = files.Full("b.c");
    CAppRun run({"/nologo", "a.c", "b.c"});
    EXPECT_EQ("\"a.obj\": \"a.c\"\n\n", run.out);
    EXPECT_EQ("incwalk32: sorry, file I/O error 5\n", run.err);
    EXPECT_EQ(254, run.ExitCode());

    // With /F the run that ends so leaves the makefile as it was, and its new file goes.
    CAppRun toFile({"/nologo", "/Fdepend.mak", "a.c", "b.c"});
    EXPECT_EQ(254, toFile.ExitCode());
    EXPECT_TRUE(files.makefiles.empty());
    EXPECT_FALSE(files.MakefileOpen());
}

TEST_F(ScanTest, ExhaustedMemoryEndsTheRunWith254) {
    files.Write("a.c", "");
    files.outOfMemoryOnOpen = true;
    CAppRun run({"/nologo", "MACRO=1", "a.c"});
    EXPECT_EQ("MACRO=1\n\n", run.out);
    EXPECT_EQ("incwalk32: sorry, out of memory\n", run.err);
    EXPECT_EQ(254, run.ExitCode());
}

TEST_F(ScanTest, TenMegabyteLineIsExaminedInPieces) {
    std::string line(10 * 1024 * 1024, 'x');
    line.replace(2000 * 1999, 14, "#include \"a.h\"");  // where a piece begins
    files.Write("big.c", line);
    files.Write("a.h", "");
    CAppRun run({"/nologo", "big.c"});
    EXPECT_EQ("\"big.obj\": \"big.c\" \\\n\t\"a.h\"\n\n", run.out);
    EXPECT_EQ(0, run.ExitCode());
}

TEST_F(ScanTest, ChainOfHundredThousandHeadersEndsWithoutCrash) {
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

// The files met by their identity share one block of slots: with thousands of them the homes
// collide, and each is found again where it was entered; the first node of a key stays.
TEST(IdentityTable, FindsEveryFileAmongCollidingHomes) {
    CIdentityTable table;
    std::deque<CIncludeNode> nodes;
    for (uint64_t i = 0; i < 3000; ++i) {
        nodes.emplace_back("f" + std::to_string(i), 0, i);
        table.Insert(CFileKey{i % 3, i * 64}, &nodes.back());
    }
    table.Insert(CFileKey{0, 0}, &nodes.back());
    for (uint64_t i = 0; i < 3000; ++i)
        ASSERT_EQ(&nodes[i], table.Find(CFileKey{i % 3, i * 64})) << i;
    EXPECT_EQ(nullptr, table.Find(CFileKey{1, 0}));
}

}  // namespace
