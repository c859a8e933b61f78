// The POSIX platform's Windows view, on real temporary trees: full paths, case-insensitive names,
// listings, the directory cache, the environment and case mapping.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/dependency_app.h"
#include "platform/listing_failure.h"
#include "platform/platform.h"
#include "platform/platform_posix_stats.h"
#include "platform/replacement.h"
#include "platform/text_file.h"
#include "temp_tree.h"

namespace {

const char CANNOT_OPEN[] = "(cannot open)";

// A fresh directory tree that is the current directory while a test runs.
class PlatformTree : public ::testing::Test {
protected:
    void SetUp() override {
        m_tree.Enter();
        // getcwd resolves symbolic links in the temporary directory's path; so does the platform.
        m_strCwd = "C:" + std::filesystem::current_path().string();
        std::replace(m_strCwd.begin(), m_strCwd.end(), '/', '\\');
    }

    static std::string ReadAll(const std::string& name) {
        FileHandle file = OpenDiskFile(name.c_str());
        if (file == INVALID_FILE_HANDLE) return CANNOT_OPEN;
        std::string contents;
        char buffer[64];
        unsigned long error = 0;
        while (long got = Platform().ReadFile(file, buffer, sizeof buffer, error)) {
            if (got < 0) break;
            contents.append(buffer, static_cast<size_t>(got));
        }
        Platform().CloseFile(file);
        return contents;
    }

    CTempTree m_tree;
    std::string m_strCwd;  // the tree as Windows shows it
};

// Whether `probe` holds for a user who is not root. Root may read and write anything, so as root
// the probe runs in a child as nobody.
template <typename Probe>
bool HoldsForAnOrdinaryUser(Probe probe) {
    if (geteuid() != 0) return probe();
    const pid_t child = fork();
    if (child == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 && probe() ? 0 : 1);
    int status = -1;
    waitpid(child, &status, 0);
    return status == 0;
}

using PlatformFullPath = PlatformTree;

TEST_F(PlatformFullPath, ResolvesNamesTextually) {
    // A leading '~' stands for the current directory.
    const struct {
        const char* name;
        const char* expected;
    } cases[] = {
        {"a.c", "~\\a.c"},
        {"src/sub\\a.c", "~\\src\\sub\\a.c"},
        {"src\\\\sub//\\a.c", "~\\src\\sub\\a.c"},
        {"src//\\.\\a.c ", "~\\src\\a.c"},
        {"src/\\a.c.", "~\\src\\a.c"},
        {".\\src\\.\\x\\..\\a.c", "~\\src\\a.c"},
        {"no\\such\\..\\dir", "~\\no\\dir"},
        {"c:a.c", "~\\a.c"},
        {"C:", "~"},
        {"c:\\Inc\\A.h", "c:\\Inc\\A.h"},
        {"C:/inc/a.h", "C:\\inc\\a.h"},
        {"\\inc\\a.h", "C:\\inc\\a.h"},
        {"/inc/a.h", "C:\\inc\\a.h"},
        {"/", "C:\\"},
        {"C:\\..\\..\\a.h", "C:\\a.h"},
        {"/../inc/../..", "C:\\"},
        {"d:\\lib\\..\\inc\\a.h", "d:\\inc\\a.h"},
        {"D:lib", "D:\\lib"},
        {"\\\\srv\\share\\x\\a.h", "\\\\srv\\share\\x\\a.h"},
        {"//srv/share/../../a.h", "\\\\srv\\share\\a.h"},
        {"src\\", "~\\src\\"},
        {"src//", "~\\src\\"},
        {"src\\..\\", "~\\"},
        {"src\\.", "~\\src"},
        {"\\\\srv\\share\\dir\\", "\\\\srv\\share\\dir\\"},
        {"\\\\srv\\share\\", "\\\\srv\\share\\"},
        {"\\\\srv", "\\\\srv"},
        // Trailing dots and blanks, as GetFullPathNameA drops them under Wine: one dot from every
        // component but the last (blanks before it stay), all from the last; "..." is a
        // component "..", which is no parent.
        {"b.h.", "~\\b.h"},
        {"c.h ", "~\\c.h"},
        {"b.h. .", "~\\b.h"},
        {"sub.\\x.h", "~\\sub\\x.h"},
        {"a..\\b", "~\\a.\\b"},
        {"a. \\b", "~\\a. \\b"},
        {"a .\\b", "~\\a \\b"},
        {"x.h.\\", "~\\x.h\\"},
        {"a\\...\\b", "~\\a\\..\\b"},
        {"a\\ ..\\b", "~\\a\\ .\\b"},
        {"a\\...", "~\\a\\"},
        {"a\\. ", "~\\a\\"},
        {"a\\..", "~"},
        {"c:\\...", "c:\\"},
        {"c:\\ \\x", "c:\\ \\x"},
        {"  x", "~\\  x"},
    };
    for (const auto& test : cases) {
        std::string expected = test.expected;
        if (expected[0] == '~') expected.replace(0, 1, m_strCwd);
        std::string full;
        EXPECT_TRUE(Platform().GetFullPath(test.name, full)) << test.name;
        EXPECT_EQ(full, expected) << test.name;
    }
}

TEST_F(PlatformFullPath, FailsBeyondTheLongestPathWithNothingOut) {
    std::string full = "stale";
    EXPECT_FALSE(Platform().GetFullPath("", full));
    EXPECT_EQ(full, "");
    full = "stale";
    EXPECT_FALSE(Platform().GetFullPath("  ", full)) << "blanks alone";
    EXPECT_EQ(full, "");

    std::string inPlace = "a\\..\\b";
    EXPECT_TRUE(Platform().GetFullPath(inPlace.c_str(), inPlace));
    EXPECT_EQ(inPlace, m_strCwd + "\\b");

    ASSERT_EQ(Platform().MaxFullPath(), 4095u);
    std::string longest = "C:\\" + std::string(4092, 'a');
    EXPECT_TRUE(Platform().GetFullPath(longest.c_str(), full));
    EXPECT_EQ(full, longest);

    std::string tooLong = longest + "a";
    EXPECT_FALSE(Platform().GetFullPath(tooLong.c_str(), full));
    EXPECT_EQ(full, "");

    // Only the result counts, not what the name spells out on the way to it.
    std::string shortened = tooLong + "\\..\\b";
    EXPECT_TRUE(Platform().GetFullPath(shortened.c_str(), full));
    EXPECT_EQ(full, "C:\\b");
}

TEST_F(PlatformFullPath, ForgetsTheCurrentDirectoryAndWhatNamesWrittenInItReached) {
    m_tree.Write("a/sub/one.h", "");
    m_tree.Write("b/sub/two.h", "");
    std::filesystem::current_path(m_tree.Path("a"));
    Platform().ForgetFileSystem();
    EXPECT_EQ(ListMatches("sub\\one.h"), std::vector<std::string>{"one.h"});
    std::filesystem::current_path(m_tree.Path("b"));
    Platform().ForgetFileSystem();
    EXPECT_EQ(ListMatches("sub\\one.h"), std::vector<std::string>{});
    EXPECT_EQ(ListMatches("sub\\two.h"), std::vector<std::string>{"two.h"});
    std::filesystem::remove_all(m_tree.Path("b"));
    Platform().ForgetFileSystem();
    std::string full = "stale";
    EXPECT_FALSE(Platform().GetFullPath("x.h", full)) << "no current directory";
    EXPECT_EQ(full, "");
}

// A name whose full path would pass the longest one is not there, even in a directory met before
// under the same spelling.
TEST_F(PlatformFullPath, LongestPathHoldsForDirectoriesMetBefore) {
    std::string dir = "deep";
    while (m_strCwd.size() + dir.size() < 3900)
        dir += "/" + std::string(std::min<size_t>(200, 3900 - m_strCwd.size() - dir.size()), 'd');
    const std::string leaf(4096 - (m_strCwd.size() + 1 + dir.size() + 1), 'f');  // 4096 in all
    m_tree.Write(dir + "/a.h", "");
    std::filesystem::current_path(m_tree.Path(dir));
    ASSERT_TRUE(std::ofstream(leaf).good());
    std::filesystem::current_path(m_tree.Path());
    Platform().ForgetFileSystem();
    std::replace(dir.begin(), dir.end(), '/', '\\');
    EXPECT_EQ(ListMatches(dir + "\\a.h").size(), 1u);
    EXPECT_EQ(ListMatches(dir + "\\" + leaf).size(), 0u);
}

TEST_F(PlatformFullPath, KnowsACurrentDirectoryLongerThanItsFirstGuess) {
    const std::string deep = std::string(200, 'd') + "/" + std::string(200, 'e');
    m_tree.MakeDir(deep);
    std::filesystem::current_path(m_tree.Path(deep));
    Platform().ForgetFileSystem();
    std::string full;
    ASSERT_TRUE(Platform().GetFullPath(".", full));
    EXPECT_EQ(full, m_strCwd + "\\" + std::string(200, 'd') + "\\" + std::string(200, 'e'));
}

using PlatformLookup = PlatformTree;

// The descriptors the process holds open.
size_t OpenDescriptors() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator()));
}

TEST_F(PlatformLookup, OpensWhateverTheLetterCaseExactCaseFirst) {
    const size_t descriptors = OpenDescriptors();
    m_tree.Write("inc/Defs.H", "mixed");
    m_tree.Write("inc/DEFS.H", "upper");
    m_tree.Write("Sub/Lone.h", "lone");

    EXPECT_EQ(ReadAll("inc\\Defs.H"), "mixed");
    EXPECT_EQ(ReadAll("INC\\DEFS.H"), "upper");
    // No exact match: the first in listing order, where DEFS.H sorts before Defs.H.
    EXPECT_EQ(ReadAll("Inc\\defs.h"), "upper");
    EXPECT_EQ(ReadAll("sub\\LONE.H"), "lone");
    EXPECT_EQ(ReadAll(m_tree.Path("SUB/lone.h")), "lone");
    EXPECT_EQ(ReadAll("c:sub\\..\\SUB\\lone.h"), "lone");

    CFindData data;
    FindHandle find = Platform().FindFirstFile("SUB\\lone.H", data);
    ASSERT_NE(find, INVALID_FIND_HANDLE);
    EXPECT_EQ(data.cFileName, "Lone.h");
    EXPECT_FALSE(Platform().FindNextFile(find, data));
    Platform().FindClose(find);
    EXPECT_EQ(ListMatches("inc\\defs.h"), std::vector<std::string>{"DEFS.H"});
    // Made a FIFO since its directory was read: no file, and its open keeps no descriptor.
    std::filesystem::remove(m_tree.Path("Sub/Lone.h"));
    ASSERT_EQ(mkfifo(m_tree.Path("Sub/Lone.h").c_str(), 0666), 0);
    EXPECT_EQ(ReadAll("sub\\lone.h"), CANNOT_OPEN);
    EXPECT_EQ(OpenDescriptors(), descriptors) << "a closed file keeps its descriptor";
}

TEST_F(PlatformLookup, FindsNothingWhereWindowsWouldNot) {
    m_tree.Write("sub/lone.h", "lone");
    const char* names[] = {
        "sub",                         // a directory is no file
        "sub\\",                       // a name ending with a separator
        "sub\\none.h",                 // not there
        "sub\\lone.h\\x",              // a file used as a directory
        "s*b\\lone.h",                 // wildcards in the directory part
        "d:\\sub\\lone.h",             // another drive
        "\\\\srv\\share\\sub\\lone.h"  // UNC
    };
    for (const char* name : names) {
        EXPECT_EQ(ReadAll(name), CANNOT_OPEN) << name;
        if (std::string(name) != "sub") {
            EXPECT_EQ(ListMatches(name).size(), 0u) << name;
        }
    }
    EXPECT_EQ(ListMatches("sub"), std::vector<std::string>{"sub"});
    // Only C: is the POSIX root: the tree's own path on another drive is not there.
    EXPECT_EQ(ReadAll("D" + m_strCwd.substr(1) + "\\sub\\lone.h"), CANNOT_OPEN);
}

// A directory that may be searched but not read (mode 711, as many home directories) still leads
// to what it holds, of what the view shows.
TEST_F(PlatformLookup, ReachesIntoADirectoryThatCannotBeListed) {
    m_tree.Write("locked/inside.h", "inside");
    m_tree.Write("locked/not|windows.h", "");  // a name no Windows directory holds
    ASSERT_EQ(mkfifo(m_tree.Path("locked/pipe.h").c_str(), 0666), 0);
    std::filesystem::permissions(m_tree.Path("locked"), static_cast<std::filesystem::perms>(0711));
    EXPECT_TRUE(HoldsForAnOrdinaryUser([] {
        Platform().ForgetFileSystem();
        return ReadAll("locked\\inside.h") == "inside" &&
               ReadAll("locked\\not|windows.h") == CANNOT_OPEN &&
               ListMatches("locked\\pipe.h").empty() && ListMatches("locked\\").empty();
    }));
}

using PlatformMakefile = PlatformTree;

mode_t ModeOf(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The file that replaces the makefile keeps its bits; a new makefile gets 0666 less the umask.
TEST_F(PlatformMakefile, KeepsThePermissionBits) {
    m_tree.Write("kept.mak", "old");
    ASSERT_EQ(chmod("kept.mak", 0640), 0);
    const mode_t previous = umask(077);
    unsigned long error = 0;
    for (const char* name : {"kept.mak", "new.mak"}) {
        std::FILE* stream = Platform().CreateMakefile(name, error);
        ASSERT_NE(stream, nullptr) << error;
        std::fputs("text\n", stream);
        ASSERT_TRUE(Platform().CommitMakefile(error)) << error;
    }
    umask(previous);
    EXPECT_EQ(ModeOf("kept.mak"), 0640u);
    EXPECT_EQ(ModeOf("new.mak"), 0600u);
}

// An interrupt or a termination signal removes the new file and ends the run as the signal
// would; the named makefile stays. A signal the caller ignored stays ignored, and one it handles
// gets its handler back.
TEST_F(PlatformMakefile, SignalsRemoveTheNewFile) {
    m_tree.Write("depend.mak", "old");
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t child = fork();
        if (child == 0) {
            unsigned long error = 0;
            std::FILE* stream = Platform().CreateMakefile("depend.mak", error);
            if (stream == nullptr) _exit(1);
            std::fputs("half a makefile", stream);
            std::fflush(stream);
            raise(signalNumber);
            _exit(2);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_EQ(ListMatches("*"), (std::vector<std::string>{".", "..", "depend.mak"}));
        EXPECT_EQ(ReadAll("depend.mak"), "old");
    }
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGHUP, SIG_IGN);
        signal(SIGTERM, [](int) { _exit(0); });
        close(0);  // the new file's descriptor is 0, as in a run without standard input
        unsigned long error = 0;
        if (Platform().CreateMakefile("depend.mak", error) == nullptr) _exit(1);
        raise(SIGHUP);
        if (Platform().CommitMakefile(error)) raise(SIGTERM);
        _exit(1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadAll("depend.mak"), "");
    EXPECT_FALSE(std::filesystem::exists(NewFileName("depend.mak", child, 0)));
}

// rename would replace a makefile its user may not write; the run refuses, as on Windows.
TEST_F(PlatformMakefile, RefusesAFileThatMayNotBeWritten) {
    m_tree.Write("depend.mak", "old");
    ASSERT_EQ(chmod("depend.mak", 0444), 0);
    ASSERT_EQ(chmod(".", 0777), 0);
    EXPECT_TRUE(HoldsForAnOrdinaryUser([] {
        unsigned long error = 0;
        return Platform().CreateMakefile("depend.mak", error) == nullptr && error == EACCES;
    }));
    EXPECT_EQ(ReadAll("depend.mak"), "old");
    // Every name its new file may take is taken (by killed runs of this process number): none.
    for (unsigned attempt = 0; attempt < NEW_FILE_ATTEMPTS; ++attempt)
        m_tree.Write(NewFileName("other.mak", static_cast<unsigned long>(getpid()), attempt), "");
    unsigned long error = 0;
    EXPECT_TRUE(Platform().CreateMakefile("other.mak", error) == nullptr && error == EEXIST);
}

using PlatformListing = PlatformTree;

// The order of the names is an end-to-end case that both builds run.
TEST_F(PlatformListing, DeliversDotsFirst) {
    m_tree.Write("list/A.c", "");
    typedef std::vector<std::string> Names;
    EXPECT_EQ(ListMatches("list\\*"), (Names{".", "..", "A.c"}));
    EXPECT_EQ(ListMatches("list\\.*"), (Names{".", ".."}));
    EXPECT_EQ(ListMatches("C:\\*").at(1), "..");
}

// A failure is not an absence: only a missing directory or a name that is none holds nothing.
TEST(PlatformListingFailure, ClassifiesTheSystemsNumbers) {
    for (int error : {ENOENT, ENOTDIR, ENAMETOOLONG, ELOOP})
        EXPECT_EQ(ClassifyListingFailure(error), ListingFailure::ABSENT) << error;
    EXPECT_EQ(ClassifyListingFailure(EACCES), ListingFailure::NOT_LISTED);
    EXPECT_EQ(ClassifyListingFailure(ENOMEM), ListingFailure::OUT_OF_MEMORY);
    for (int error : {EMFILE, ENFILE, EIO, EBADF, EINTR})
        EXPECT_EQ(ClassifyListingFailure(error), ListingFailure::FAILED) << error;
}

// Without a descriptor left for its listing, a header's directory is no empty directory: the run
// ends with the system's number, and keeps nothing of it, so that a later run finds the header.
TEST_F(PlatformListing, FailureForWantOfDescriptorsEndsTheRunAndIsNotKept) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers open files of their own, and report errors when they cannot";
#endif
    // Beyond the cap of a file read whole: the source stays open while its include is resolved.
    m_tree.Write("a.c", "#include \"sub/x.h\"\n" + std::string(CTextFile::WHOLE_FILE_CAP, '\n'));
    m_tree.Write("sub/x.h", "");
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        close(quiet);
        char arg0[] = "incwalk32", nologo[] = "/nologo", source[] = "a.c";
        char* argv[] = {arg0, nologo, source, nullptr};
        // One descriptor left: the source's; none for the listing of sub.
        const int firstFree = dup(0);
        close(firstFree);
        rlimit limits;
        getrlimit(RLIMIT_NOFILE, &limits);
        const rlimit few = {static_cast<rlim_t>(firstFree + 1), limits.rlim_max};
        setrlimit(RLIMIT_NOFILE, &few);
        const int starved = CDependencyApp(3, argv).m_nExitCode;
        setrlimit(RLIMIT_NOFILE, &limits);
        const int later = CDependencyApp(3, argv).m_nExitCode;
        _exit(starved == 254 && later == 0 ? 0 : 10 + (starved == 254 ? later : starved % 10));
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << WEXITSTATUS(status);
}

using PlatformCache = PlatformTree;

TEST_F(PlatformCache, ProbesAKnownDirectoryWithoutTheFileSystem) {
    m_tree.Write("one/a.h", "");
    m_tree.Write("two/b.h", "");
    std::filesystem::create_directory_symlink("two", m_tree.Path("link"));
    ASSERT_EQ(ListMatches("one\\a.h").size(), 1u);  // learns every directory above

    unsigned long reads = PosixDirectoryReads();
    EXPECT_EQ(ListMatches("two\\x.h").size(), 0u);
    EXPECT_EQ(ListMatches("link\\b.h").size(), 1u);  // the directory just read
    EXPECT_EQ(PosixDirectoryReads() - reads, 1u);

    reads = PosixDirectoryReads();
    unsigned long calls = PosixFileSystemCalls();
    EXPECT_EQ(ListMatches("two\\B.H").size(), 1u);
    EXPECT_EQ(ListMatches(m_strCwd + "\\TWO\\missing.h").size(), 0u);
    EXPECT_EQ(ListMatches("ONE\\a.h").size(), 1u);
    EXPECT_EQ(ListMatches("nodir\\a.h").size(), 0u);
    EXPECT_EQ(ListMatches("nodir\\a.h").size(), 0u);
    EXPECT_EQ(ListMatches("one\\a.h\\x.h").size(), 0u);  // a file is no directory
    EXPECT_EQ(ListMatches("link\\b.h.").size(), 1u);     // by its full path, a link known
    // nodir is known not to be there from the listing of its parent.
    EXPECT_EQ(PosixDirectoryReads() - reads, 0u);
    EXPECT_EQ(PosixFileSystemCalls() - calls, 0u);
}

// What the layer read of a directory goes when it is told to forget: the directory is read
// again, under any spelling.
TEST_F(PlatformCache, ForgetsWhatItListed) {
    m_tree.Write("dir/a.h", "");
    EXPECT_EQ(ListMatches("dir\\a.h"), std::vector<std::string>{"a.h"});
    m_tree.Write("dir/b.h", "");
    Platform().ForgetFileSystem();
    EXPECT_EQ(ListMatches("Dir\\b.h"), std::vector<std::string>{"b.h"});
}

// A file read on and then sought back to its start, as the reader does when it reopens an
// includer beyond its cap.
TEST_F(PlatformCache, SeeksBackToTheStart) {
    m_tree.Write("big.h", "0123456789");
    CFileFacts facts;
    FileHandle file = Platform().OpenFile("big.h", OpenScope::DISK_FILE, facts);
    ASSERT_NE(file, INVALID_FILE_HANDLE);
    EXPECT_EQ(facts.size, 10);
    char bytes[8] = {};
    unsigned long error = 0;
    EXPECT_EQ(Platform().ReadFile(file, bytes, 4, error), 4);
    EXPECT_TRUE(Platform().SeekFile(file, 0, error));
    EXPECT_EQ(Platform().ReadFile(file, bytes, 2, error), 2);
    EXPECT_EQ(std::string(bytes, 2), "01");
    EXPECT_TRUE(Platform().SeekFile(file, 8, error));
    EXPECT_EQ(Platform().ReadFile(file, bytes, 8, error), 2);
    EXPECT_EQ(std::string(bytes, 2), "89");
    Platform().CloseFile(file);
}

TEST_F(PlatformCache, SearchesAlongManyDirectoriesReadEachOnce) {
    const int DIRECTORIES = 20;
    for (int i = 0; i < DIRECTORIES; ++i)
        m_tree.MakeDir("d" + std::to_string(i));
    m_tree.Write("d19/x.h", "");
    ASSERT_EQ(ListMatches("d0\\*").size(), 2u);

    auto searchAll = [] {
        int found = 0;
        for (int i = 0; i < DIRECTORIES; ++i) {
            found += static_cast<int>(ListMatches("D" + std::to_string(i) + "\\X.H").size());
        }
        return found;
    };
    unsigned long reads = PosixDirectoryReads();
    EXPECT_EQ(searchAll(), 1);
    EXPECT_EQ(PosixDirectoryReads() - reads, DIRECTORIES - 1u);

    unsigned long calls = PosixFileSystemCalls();
    EXPECT_EQ(searchAll(), 1);
    EXPECT_EQ(PosixFileSystemCalls() - calls, 0u);
}

// Letter case of a name is ignored, but where two names differ only in case, the exact one wins.
TEST(PlatformEnvironment, ExactCaseFirst) {
    setenv("INCWALK32_TEST_BOTH", "upper", 1);
    setenv("incwalk32_test_both", "lower", 1);
    setenv("IncWalk32_Test_Mixed", "mixed", 1);
    std::string value;
    EXPECT_TRUE(Platform().GetEnvironment("incwalk32_test_both", value));
    EXPECT_EQ(value, "lower");
    EXPECT_TRUE(Platform().GetEnvironment("INCWALK32_TEST_BOTH", value));
    EXPECT_EQ(value, "upper");
    EXPECT_TRUE(Platform().GetEnvironment("INCWALK32_TEST_MIXED", value));
    EXPECT_EQ(value, "mixed");
    EXPECT_FALSE(Platform().GetEnvironment("INCWALK32_TEST_BOTH=upper", value));
    static char nameless[] = "=value";  // an entry that a parent process may pass
    putenv(nameless);
    EXPECT_FALSE(Platform().GetEnvironment("", value)) << "an empty name names nothing";
    unsetenv("INCWALK32_TEST_BOTH");
    unsetenv("incwalk32_test_both");
    unsetenv("IncWalk32_Test_Mixed");
}

// Switches LC_CTYPE for one test and restores it afterwards.
class PlatformCaseMapping : public ::testing::Test {
protected:
    void SetUp() override { m_strSaved = std::setlocale(LC_CTYPE, nullptr); }
    void TearDown() override { std::setlocale(LC_CTYPE, m_strSaved.c_str()); }

    std::string m_strSaved;
};

// UTF-8 sequences.
const std::string CAPITAL_A_UMLAUT = "\xC3\x84";
const std::string SMALL_A_UMLAUT = "\xC3\xA4";
const std::string CAPITAL_O_UMLAUT = "\xC3\x96";
const std::string SMALL_O_UMLAUT = "\xC3\xB6";
const std::string EURO = "\xE2\x82\xAC";
const std::string CAPITAL_I_WITH_DOT = "\xC4\xB0";  // lower-cases to the one-byte i
const std::string INVALID = "\xFF";
const std::string LEAD_BYTE_ONLY = "\xC3";

TEST_F(PlatformCaseMapping, ChangesOnlyAsciiLettersInTheCLocale) {
    ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
    EXPECT_EQ(Lower(CAPITAL_A_UMLAUT + "Bc:\\X" + INVALID), CAPITAL_A_UMLAUT + "bc:\\x" + INVALID);
    EXPECT_EQ(Upper(SMALL_A_UMLAUT + "bC"), SMALL_A_UMLAUT + "BC");
    EXPECT_EQ(Platform().CharLength(SMALL_A_UMLAUT.c_str()), 1u);
}

// Names are mapped eight bytes at a time up to the first byte of 0x80 or more: every ASCII byte,
// and a multibyte character at any place, must come out as one byte at a time would have it.
TEST_F(PlatformCaseMapping, MapsEveryAsciiByteAsOneAtATime) {
    ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
    std::string ascii;
    for (int c = 1; c < 0x80; ++c)
        ascii += static_cast<char>(c);
    std::string lower = ascii;
    std::string upper = ascii;
    for (char& c : lower)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    for (char& c : upper)
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    EXPECT_EQ(Lower(ascii), lower);
    EXPECT_EQ(Upper(ascii), upper);
    for (size_t at = 0; at <= 17; ++at) {
        const std::string name = std::string(at, 'Q') + SMALL_A_UMLAUT + "Zz@[`{";
        EXPECT_EQ(Lower(name), std::string(at, 'q') + SMALL_A_UMLAUT + "zz@[`{") << at;
        EXPECT_EQ(Upper(name), std::string(at, 'Q') + SMALL_A_UMLAUT + "ZZ@[`{") << at;
    }
}

TEST_F(PlatformCaseMapping, MapsMultibyteCharactersAsWholeCharacters) {
    if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
    EXPECT_EQ(Lower(CAPITAL_A_UMLAUT + CAPITAL_O_UMLAUT + "-ABC" + INVALID + LEAD_BYTE_ONLY),
              SMALL_A_UMLAUT + SMALL_O_UMLAUT + "-abc" + INVALID + LEAD_BYTE_ONLY);
    EXPECT_EQ(Upper(SMALL_A_UMLAUT + EURO + "b"), CAPITAL_A_UMLAUT + EURO + "B");
    // Its lower case is shorter: the character stays, as the mapping never moves bytes.
    EXPECT_EQ(Lower(CAPITAL_I_WITH_DOT + "X"), CAPITAL_I_WITH_DOT + "x");

    EXPECT_EQ(Platform().CharLength("a"), 1u);
    EXPECT_EQ(Platform().CharLength(SMALL_A_UMLAUT.c_str()), 2u);
    EXPECT_EQ(Platform().CharLength(EURO.c_str()), 3u);
    EXPECT_EQ(Platform().CharLength(INVALID.c_str()), 1u);
    EXPECT_EQ(Platform().CharLength(EURO.substr(0, 2).c_str()), 1u);
}

}  // namespace
