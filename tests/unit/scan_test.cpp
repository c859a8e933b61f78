#include <gtest/gtest.h>

#include <map>

#include "app_runner.h"
#include "forwarding_platform.h"
#include "scan/include_node.h"
#include "targets/file_search.h"
#include "temp_tree.h"

namespace {

// Counts the opens of every file and the files open at once.
class COpenCounter : public CForwardingPlatform {
public:
    FileHandle OpenFile(const char* name, OpenScope scope, CFileFacts& facts) override {
        FileHandle file = CForwardingPlatform::OpenFile(name, scope, facts);
        if (file == INVALID_FILE_HANDLE) return file;
        if (failReopenOf == name && opens[name] > 0) {
            CForwardingPlatform::CloseFile(file);
            return INVALID_FILE_HANDLE;
        }
        ++opens[name];
        names[file] = name;
        if (++open > maxOpen) maxOpen = open;
        return file;
    }
    void CloseFile(FileHandle file) override {
        --open;
        names.erase(file);
        CForwardingPlatform::CloseFile(file);
    }
    // The environment of the test alone, so that the machine's INCLUDE plays no part.
    bool GetEnvironment(const char* name, std::string& value) override {
        auto found = environment.find(name);
        if (found == environment.end()) return false;
        value = found->second;
        return true;
    }
    long ReadFile(FileHandle file, char* buffer, size_t size, unsigned long& error) override {
        if (failReads) {
            error = 5;
            return -1;
        }
        const long got = CForwardingPlatform::ReadFile(file, buffer, size, error);
        if (got > 0) bytesRead[names[file]] += got;
        return got;
    }

    std::map<std::string, int> opens;  // reopens included
    std::map<std::string, long> bytesRead;
    std::map<FileHandle, std::string> names;
    int open = 0;
    int maxOpen = 0;
    std::map<std::string, std::string> environment;
    std::string failReopenOf;  // the second open of this file fails
    bool failReads = false;
};

// A scan of the tree's files by name, with the options given, and what it reported.
class ScanTest : public testing::Test {
protected:
    void SetUp() override { tree.Enter(); }

    // Runs the application (no target: it only parses) and scans `source` like the target loop.
    CIncludeNode* Scan(const std::string& source, std::vector<std::string> options = {}) {
        options.insert(options.begin(), "/nologo");
        run.reset(new CAppRun(options));
        run->app->m_nExitCode = 0;  // "no targets" ended the parse; the scan starts afresh
        return ScanAgain(source);
    }
    CIncludeNode* ScanAgain(const std::string& source) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        CIncludeNode* root = run->app->ScanFile(source, "", KIND_SOURCE);
        err = testing::internal::GetCapturedStderr();
        out = testing::internal::GetCapturedStdout();
        return root;
    }
    std::string Normal(const std::string& relative) {
        std::string normal;
        EXPECT_TRUE(MakeNormalForm(tree.Path(relative), normal));
        return normal;
    }
    // The tree below `node` as indented normal forms relative to the sandbox.
    std::string Shape(const CIncludeNode* node, int depth = 0) {
        std::string text(static_cast<size_t>(depth) * 2, ' ');
        text += node->path.substr(Normal("").size()) + (node->isSystem ? " <sys>" : "") + "\n";
        for (const CIncludeNode* child : node->children)
            text += Shape(child, depth + 1);
        return text;
    }

    CTempTree tree;
    COpenCounter files;
    std::unique_ptr<CAppRun> run;
    std::string out;
    std::string err;
};

TEST_F(ScanTest, SharedHeadersAreReadOnceAndRecursionIsDropped) {
    tree.Write("main.c", "#include \"defs.h\"\n#include \"util\\str.h\"\n");
    tree.Write("defs.h", "#include \"types.h\"\n");
    tree.Write("types.h", "");
    tree.Write("util/str.h", "#include \"types.h\"\n#include \"str.h\"\n");
    CIncludeNode* root = Scan("main.c");
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("main.c\n  defs.h\n    types.h\n  util\\str.h\n    types.h\n", Shape(root));
    EXPECT_EQ(root->children[0]->children[0], root->children[1]->children[0]);
    EXPECT_EQ(
        "incwalk32: " + Normal("util/str.h") + ": recursive header " + Normal("util/str.h") + "\n",
        err);
    EXPECT_EQ(0, run->ExitCode());
    EXPECT_EQ(1, files.opens[Normal("types.h")]);
    // str.h includes a header scanned before and itself: neither opens a file, so str.h stays
    // open; main.c is closed for each of its two new headers, and its reopens need no file
    // since its first read took it whole.
    EXPECT_EQ(1, files.opens[Normal("util/str.h")]);
    EXPECT_EQ(1, files.opens[Normal("main.c")]);
    EXPECT_EQ(36, files.bytesRead[Normal("util/str.h")]) << "every byte read once";
    EXPECT_EQ(1, files.maxOpen) << "an includer is closed while its include is scanned";
    EXPECT_TRUE(run->app->m_activeFiles.empty());
}

TEST_F(ScanTest, SecondSourceLinksTheNodeOfTheFirstScan) {
    tree.Write("a/a.c", "#include \"..\\shared\\s.h\"\n#include \"..\\shared\\s.h\"\n");
    tree.Write("b/b.c", "#include \"../shared/s.h\"\n");
    tree.Write("shared/s.h", "#include \"near.h\"\n");
    tree.Write("shared/near.h", "");
    tree.Write("b/near.h", "");  // a fresh search from b would find this one
    CIncludeNode* a = Scan("a\\a.c");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ("a\\a.c\n  shared\\s.h\n    shared\\near.h\n  shared\\s.h\n    shared\\near.h\n",
              Shape(a));
    CIncludeNode* b = ScanAgain("b\\b.c");
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(a->children[0], b->children[0]);
    EXPECT_EQ(18, files.bytesRead[Normal("shared/s.h")]);
    EXPECT_EQ(0, files.opens[Normal("b/near.h")]);
}

TEST_F(ScanTest, QuotedSearchOrderIncluderThenOuterFilesThenIncludePathThenEnvironment) {
    tree.Write("src/main.c", "#include \"util\\str.h\"\n");
    tree.Write("src/util/str.h",
               "#include \"defs.h\"\n#include \"only-i.h\"\n#include \"only-env.h\"\n");
    tree.Write("src/defs.h", "");  // beside the outer file
    tree.Write("inc/defs.h", "");  // on the /I path: loses
    tree.Write("inc/only-i.h", "");
    tree.Write("env/only-i.h", "");  // in INCLUDE: loses to /I
    tree.Write("env/only-env.h", "");
    files.environment["INCLUDE"] = tree.Path("none") + "; ;" + tree.Path("env");
    CIncludeNode* root = Scan("src\\main.c", {"/I" + tree.Path("inc")});
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(
        "src\\main.c\n  src\\util\\str.h\n    src\\defs.h\n    inc\\only-i.h\n"
        "    env\\only-env.h\n",
        Shape(root));
}

// The answer of the /I path and INCLUDE for a name is kept for the run, but INCLUDE is read at
// every search: a new value searches again.
// The kept answer for <x.h> soon knows x.h's node; a file on the active-file stack is still
// refused as recursive, by its normal form, and taken again once its scan is over.
TEST_F(ScanTest, KeptAnswersStillRefuseRecursion) {
    tree.Write("main.c", "#include <x.h>\n#include <x.h>\n");
    tree.Write("inc/x.h", "#include <y.h>\n#include <z.h>\n");
    tree.Write("inc/y.h", "#include <x.h>\n");
    tree.Write("inc/z.h", "#include <x.h>\n");
    CIncludeNode* root = Scan("main.c", {"/S", "/I" + tree.Path("inc")});
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(
        "main.c\n  inc\\x.h <sys>\n    inc\\y.h <sys>\n    inc\\z.h <sys>\n"
        "  inc\\x.h <sys>\n    inc\\y.h <sys>\n    inc\\z.h <sys>\n",
        Shape(root));
    const std::string x = Normal("inc/x.h");
    EXPECT_EQ("incwalk32: " + Normal("inc/y.h") + ": recursive header " + x + "\n" +
                  "incwalk32: " + Normal("inc/z.h") + ": recursive header " + x + "\n",
              err);
}

TEST_F(ScanTest, AngleIncludesSkipTheIncluderButTheirOwnQuotedIncludesUseIt) {
    tree.Write("src/main.c", "#include <x.h>\n#include \"y.h\"\n");
    tree.Write("src/x.h", "");  // beside the includer: not searched for <x.h>
    tree.Write("inc/x.h", "#include \"z.h\"\n");
    tree.Write("inc/z.h", "");
    tree.Write("inc/y.h", "#include <z.h>\n");
    CIncludeNode* root = Scan("src\\main.c", {"/S", "/I" + tree.Path("inc")});
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("src\\main.c\n  inc\\x.h <sys>\n    inc\\z.h\n  inc\\y.h\n    inc\\z.h\n",
              Shape(root))
        << "z.h keeps the flag of its first reach";
}

TEST_F(ScanTest, NamesMatchWithoutRegardToCase) {
    tree.Write("Main.C", "#include \"DEFS.h\"\n");
    tree.Write("Defs.H", "");
    CIncludeNode* root = Scan("main.c");
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("main.c\n  defs.h\n", Shape(root));
}

TEST_F(ScanTest, ExcludedNamesAreComparedAsWritten) {
    tree.Write("main.c", "#include \"FOO.H\"\n#include \"sub\\foo.h\"\n#include \"bar.h\"\n");
    tree.Write("foo.h", "#include \"bar.h\"\n");
    tree.Write("sub/foo.h", "");
    tree.Write("bar.h", "");
    CIncludeNode* root = Scan("main.c", {"/Xfoo.h"});
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("main.c\n  sub\\foo.h\n  bar.h\n", Shape(root));
    EXPECT_EQ(0, files.opens[Normal("foo.h")]);
}

TEST_F(ScanTest, RecursionAtEachMode) {
    tree.Write("main.c", "#include \"a.h\"\n#include \"after.h\"\n");
    tree.Write("a.h", "#include \"b.h\"\n");
    tree.Write("b.h", "#include \"a.h\"\n");
    tree.Write("after.h", "");
    const std::string message =
        "incwalk32: " + Normal("b.h") + ": recursive header " + Normal("a.h") + "\n";

    CIncludeNode* root = Scan("main.c", {"/Er0"});
    EXPECT_EQ("main.c\n  a.h\n    b.h\n  after.h\n", Shape(root));
    EXPECT_EQ("", err);

    root = Scan("main.c", {"/Er2"});
    EXPECT_EQ("main.c\n  a.h\n    b.h\n", Shape(root)) << "the scan stops before the next include";
    EXPECT_EQ(message, err);
    EXPECT_EQ("", out);
    EXPECT_EQ(1, run->ExitCode());

    root = Scan("main.c", {"/Er3"});
    EXPECT_EQ(message, err);
    EXPECT_EQ("Active source files (most deeply nested first):\n  " + Normal("b.h") + "\n  " +
                  Normal("a.h") + "\n  " + Normal("main.c") + "\n",
              out);
    EXPECT_EQ(1, run->ExitCode());
}

TEST_F(ScanTest, MissingHeaderAtEachMode) {
    tree.Write("main.c", "#include \"a.h\"\n#include \"after.h\"\n");
    tree.Write("a.h", "#include \"Missing.H\"\n");
    tree.Write("after.h", "");
    const std::string message =
        "incwalk32: " + Normal("a.h") + ": include file missing.h not found\n";

    EXPECT_EQ("main.c\n  a.h\n  after.h\n", Shape(Scan("main.c", {"/Ef0"})));
    EXPECT_EQ("", err);
    EXPECT_EQ("main.c\n  a.h\n  after.h\n", Shape(Scan("main.c", {"/Ef1"})));
    EXPECT_EQ(message, err);
    EXPECT_EQ(0, run->ExitCode());

    EXPECT_EQ("main.c\n  a.h\n", Shape(Scan("main.c")));
    EXPECT_EQ(message, err);
    EXPECT_EQ("", out);
    EXPECT_EQ(3, run->ExitCode());

    Scan("main.c", {"/Ef3"});
    EXPECT_EQ("Active source files (most deeply nested first):\n  " + Normal("a.h") + "\n  " +
                  Normal("main.c") + "\n",
              out);
}

TEST_F(ScanTest, AngleIncludeWithoutSearchPathIsNotFound) {
    tree.Write("main.c", "#include <stdio.h>\n");
    Scan("main.c", {"/S"});
    EXPECT_EQ("incwalk32: " + Normal("main.c") + ": include file stdio.h not found\n", err);
    EXPECT_EQ(3, run->ExitCode());
    Scan("main.c");
    EXPECT_EQ("", err) << "without /S an angle include is never seen";
}

TEST_F(ScanTest, FilesThatCannotBeOpened) {
    tree.Write("main.c", "#include \"sub\"\n#include \"after.h\"\n");
    tree.MakeDir("sub");
    tree.Write("after.h", "");
    CIncludeNode* root = Scan("main.c", {"/Ef0"});
    EXPECT_EQ("main.c\n", Shape(root));
    EXPECT_EQ(
        "incwalk32: " + Normal("main.c") + ": unable to open include file " + Normal("sub") + "\n",
        err);
    EXPECT_EQ(4, run->ExitCode());

    EXPECT_EQ(nullptr, Scan("sub"));
    EXPECT_EQ("incwalk32: : unable to open include file " + Normal("sub") + "\n", err);
    EXPECT_EQ(4, run->ExitCode());
}

TEST_F(ScanTest, IncluderThatCannotBeReopenedEndsTheRunAsUnopenable) {
    // Longer than one read, so that the reopen after a.h needs the file.
    tree.Write("main.c", "#include \"a.h\"\n#include \"b.h\"\n" + std::string(40000, '\n'));
    tree.Write("a.h", "");
    tree.Write("b.h", "");
    files.failReopenOf = Normal("main.c");
    CIncludeNode* root = Scan("main.c");
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("main.c\n  a.h\n", Shape(root));
    EXPECT_EQ("incwalk32: : unable to open include file " + Normal("main.c") + "\n", err);
    EXPECT_EQ(4, run->ExitCode());
    EXPECT_TRUE(run->app->m_activeFiles.empty());
}

TEST_F(ScanTest, FirstFailureKeepsItsExitCodeWhenTheIncluderCannotBeReopened) {
    tree.Write("main.c", "#include \"a.h\"\n#include \"b.h\"\n" + std::string(40000, '\n'));
    tree.Write("a.h", "#include \"missing.h\"\n");
    tree.Write("b.h", "");
    files.failReopenOf = Normal("main.c");
    Scan("main.c");
    EXPECT_EQ("incwalk32: " + Normal("a.h") + ": include file missing.h not found\n", err);
    EXPECT_EQ(3, run->ExitCode());
    EXPECT_EQ(1, files.opens[Normal("main.c")]) << "no reopen once the run is ending";
}

// Counts the directory probes of the scan.
class CProbeCounter : public COpenCounter {
public:
    FindHandle FindFirstFile(const char* pattern, CFindData& data) override {
        ++probes;
        return COpenCounter::FindFirstFile(pattern, data);
    }
    long probes = 0;
};

TEST(ScanCost, EachDirectoryIsSearchedOncePerIncludeHoweverDeepTheChain) {
    // A chain that alternates between two directories, each header also including one from the
    // /I path: every active file's directory is searched for it, but only two are distinct.
    CTempTree tree;
    tree.Enter();
    const int depth = 400;
    for (int i = 0; i < depth; ++i) {
        const std::string next = i % 2 == 0 ? "../b/h" : "../a/h";
        tree.Write(std::string(i % 2 == 0 ? "a" : "b") + "/h" + std::to_string(i) + ".h",
                   "#include \"common.h\"\n#include \"" + next + std::to_string(i + 1) + ".h\"\n");
    }
    tree.Write(std::string(depth % 2 == 0 ? "a" : "b") + "/h" + std::to_string(depth) + ".h", "");
    tree.Write("inc/common.h", "");
    tree.Write("main.c", "#include \"a/h0.h\"\n");
    CProbeCounter probes;
    CAppRun run({"/nologo", "/Iinc", "main.c"});
    EXPECT_EQ(0, run.ExitCode()) << run.err;
    EXPECT_LT(probes.probes, 6L * depth) << "a directory searched again for the same include";
}

TEST(ScanRun, ReadErrorEndsTheRunWithTheErrorNumber) {
    CTempTree tree;
    tree.Enter();
    tree.Write("a.c", "");
    tree.Write("b.c", "#include \"x.h\"\n");
    // The first source reads fine; the failure comes with the second.
    class CFailOnB : public COpenCounter {
    public:
        FileHandle OpenFile(const char* name, OpenScope scope, CFileFacts& facts) override {
            failReads = std::string(name).find("b.c") != std::string::npos;
            return COpenCounter::OpenFile(name, scope, facts);
        }
    } failing;
    CAppRun run({"/nologo", "a.c", "b.c"});
    EXPECT_EQ("\"a.obj\": \"a.c\"\n\n", run.out);
    EXPECT_EQ("incwalk32: sorry, file I/O error 5\n", run.err);
    EXPECT_EQ(254, run.ExitCode());
}

}  // namespace
