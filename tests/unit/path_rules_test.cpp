#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "memory_platform.h"
#include "platform/ascii.h"
#include "targets/file_search.h"

namespace {

TEST(SplitSearchName, DirectoryPartEndsAtTheLastSeparatorOrTheDriveColon) {
    const struct {
        const char* name;
        const char* dir;
        const char* rest;
    } cases[] = {
        {"a.c", "", "a.c"},
        {"c:*.c", "c:", "*.c"},
        {"\\\\srv\\share\\x.h", "\\\\srv\\share\\", "x.h"},
        {"sys/stat.h", "sys/", "stat.h"},
        {"a\\b/c.h", "a\\b/", "c.h"},
        {"dir\\", "dir\\", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        std::string dir = "junk", rest = "junk";
        SplitSearchName(c.name, dir, rest);
        EXPECT_EQ(c.dir, dir) << c.name;
        EXPECT_EQ(c.rest, rest) << c.name;
    }
}

TEST(AppendPath, OnlyTheBackslashCounts) {
    const struct {
        const char* path;
        const char* part;
        const char* result;
    } cases[] = {
        {"c:\\inc", "x.h", "c:\\inc\\x.h"},
        {"c:\\inc\\", "\\x.h", "c:\\inc\\\\x.h"},
        {"c:", "x.h", "c:\\x.h"},
        {"inc/", "x.h", "inc/\\x.h"},
        {"", "x.h", "x.h"},
        {"c:\\inc", "", "c:\\inc"},
        {"inc", "\\x.h", "inc\\x.h"},
    };
    for (const auto& c : cases) {
        std::string path = c.path;
        AppendPath(path, c.part);
        EXPECT_EQ(c.result, path) << c.path << " + " << c.part;
    }
}

std::vector<std::string> Directories(CPathList& list) {
    std::vector<std::string> dirs;
    std::string dir;
    while (list.NextDir(dir))
        dirs.push_back(dir);
    EXPECT_EQ("", dir) << "the last NextDir empties its output";
    EXPECT_FALSE(list.NextDir(dir));
    return dirs;
}

TEST(PathList, BlanksAndSemicolonsBeforeAnEntryVanish) {
    CPathList list;
    ASSERT_TRUE(list.SetList(";;c:\\inc; d:\\lib ;;e:\\x"));
    EXPECT_EQ((std::vector<std::string>{"c:\\inc", "d:\\lib ", "e:\\x"}), Directories(list));

    CPathList tabs;
    ASSERT_TRUE(tabs.SetList("\tc:\\a;  ;"));
    EXPECT_EQ((std::vector<std::string>{"\tc:\\a"}), Directories(tabs)) << "a tab is no blank";

    CPathList unset;
    std::string dir = "junk";
    EXPECT_FALSE(unset.NextDir(dir));
    EXPECT_EQ("", dir);
}

TEST(PathList, GreaterThanNamesAnEnvironmentVariable) {
    CMemoryPlatform platform;
    platform.environment = {{"INCLUDE", "c:\\one; ;c:\\two"},
                            {"EMPTY", ""},
                            {"SEPARATORS", " ;; ; "},
                            {"inc;x", "c:\\whole"}};

    CPathList include;
    ASSERT_TRUE(include.SetList(">INCLUDE"));
    EXPECT_EQ((std::vector<std::string>{"c:\\one", "c:\\two"}), Directories(include));

    for (const char* spec : {">EMPTY", ">SEPARATORS"}) {
        CPathList list;
        EXPECT_TRUE(list.SetList(spec));
        EXPECT_TRUE(Directories(list).empty()) << spec;
    }
    CPathList missing;
    EXPECT_FALSE(missing.SetList(">MISSING"));
    EXPECT_TRUE(Directories(missing).empty());

    CPathList whole;
    ASSERT_TRUE(whole.SetList(">inc;x"));
    EXPECT_EQ((std::vector<std::string>{"c:\\whole"}), Directories(whole));
}

// The scan searches with one object, list after list: nothing of an earlier list or match stays.
TEST(FileSearch, EachSearchStartsAfresh) {
    CMemoryPlatform files;
    files.Write("inc2/x.h", "");
    files.Write("inc3/x.h", "");
    CFileSearch search;
    ASSERT_TRUE(search.FindFirst("x.h", "inc1;inc2;inc3", SEARCH_LIST_ONLY));
    EXPECT_EQ("inc2\\x.h", search.m_strMatch);
    EXPECT_FALSE(search.FindFirst("x.h", 0)) << "x.h is not in the current directory";
    std::string match = "stale";
    EXPECT_FALSE(search.FindNext(match));
    EXPECT_EQ("", match);
    {
        CFileSearch open;
        EXPECT_TRUE(open.FindFirst("inc2\\x.h", 0));
    }
    EXPECT_EQ(0, files.openListings) << "a search object closes its listing when it ends";
}

// Every byte: the 26 letters change case, nothing else does, in any locale (the option and
// drive letters rely on it where the locale's mapping would make `i` a dotted capital).
TEST(AsciiCase, LettersAloneChangeCaseWhateverTheLocale) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "tr_TR.utf8");  // where the system has it
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const bool lower = byte >= 'a' && byte <= 'z';
        const bool upper = byte >= 'A' && byte <= 'Z';
        EXPECT_EQ(IsAsciiLetter(c), lower || upper) << byte;
        EXPECT_EQ(AsciiUpper(c), lower ? static_cast<char>(byte - 32) : c) << byte;
        EXPECT_EQ(AsciiLower(c), upper ? static_cast<char>(byte + 32) : c) << byte;
    }
    std::setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
