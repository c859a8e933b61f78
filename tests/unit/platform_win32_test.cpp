// The Win32 platform, run on Windows or under Wine: full paths and their limit, listings, files
// opened shared, the environment, the ANSI code page's case mapping and the large stack.
// Windows counterparts of the POSIX-only tests in platform_test.cpp.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "allocations.h"
#include "platform/listing_failure.h"
#include "platform/platform.h"
#include "platform/win32_api.h"
#include "temp_tree.h"

namespace {

typedef std::vector<std::string> Names;

// A fresh directory tree that is the current directory while a test runs.
class Win32Tree : public ::testing::Test {
protected:
    void SetUp() override {
        m_tree.Enter();
        char buffer[MAX_PATH];
        DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
        ASSERT_GT(length, 0u);
        ASSERT_LT(length, 200u) << "the temporary directory leaves no room for the tests";
        m_strCwd.assign(buffer, length);
    }

    static Names List(const std::string& pattern) { return ListMatches(pattern); }

    CTempTree m_tree;
    std::string m_strCwd;  // e.g. C:\users\ann\Temp\incwalk32-unit-Win32FullPath-...
};

using Win32FullPath = Win32Tree;

// The resolution itself is GetFullPathNameA's; the name may live in the result's own string.
TEST_F(Win32FullPath, ResolvesInPlaceAndFailsWithNothingOut) {
    std::string inPlace = "a\\..\\b";
    ASSERT_TRUE(Platform().GetFullPath(inPlace.c_str(), inPlace));
    EXPECT_EQ(inPlace, m_strCwd + "\\b");
    std::string full = "stale";
    EXPECT_FALSE(Platform().GetFullPath("", full));
    EXPECT_EQ(full, "");
}

TEST_F(Win32FullPath, MakesAtMost259CharactersAndNothingBeyond) {
    // MAX_PATH with its terminating zero.
    ASSERT_EQ(Platform().MaxFullPath(), 259u);
    // Relative names, so that only the result is long.
    const std::string longest(259 - m_strCwd.size() - 1, 'a');
    std::string full;
    ASSERT_TRUE(Platform().GetFullPath(longest.c_str(), full));
    EXPECT_EQ(full, m_strCwd + "\\" + longest);
    EXPECT_EQ(full.size(), 259u);

    full = "stale";
    EXPECT_FALSE(Platform().GetFullPath((longest + "b").c_str(), full));
    EXPECT_EQ(full, "");
    EXPECT_FALSE(Platform().GetFullPath((longest + "\\b.h").c_str(), full));
    EXPECT_FALSE(Platform().GetFullPath(("C:\\" + std::string(400, 'a')).c_str(), full));
    EXPECT_EQ(full, "");
}

using Win32Listing = Win32Tree;

// The order of the names is an end-to-end case that both builds run.
TEST_F(Win32Listing, DeliversDotsFirstAndNothingAfterTheEnd) {
    m_tree.Write("list/A.c", "");
    EXPECT_EQ(List("list\\*"), (Names{".", "..", "A.c"}));
    CFindData data;
    FindHandle find = Platform().FindFirstFile("list\\a.C", data);
    ASSERT_NE(find, INVALID_FIND_HANDLE);
    EXPECT_EQ(data.cFileName, "A.c");
    EXPECT_FALSE(Platform().FindNextFile(find, data));
    EXPECT_FALSE(Platform().FindNextFile(find, data));
    Platform().FindClose(find);
    Platform().FindClose(INVALID_FIND_HANDLE);
}

// Probes of one name are answered from a listing of the directory where that gives the system's
// own answer; names Windows trims or resolves specially still get the system's answer.
TEST_F(Win32Listing, AnswersProbesAsTheSystemDoes) {
    for (const char* name : {"A.c", "config.h", "b", "lpt.h"})
        m_tree.Write(std::string("list/") + name, "");
    m_tree.MakeDir("list/sub");
    const std::string deep = "list\\" + std::string(250 - m_strCwd.size(), 'd') + "\\a.c";
    for (const std::string& pattern :
         {std::string("list\\a.c"), std::string("LIST\\A.C"), std::string("list\\a.c."),
          std::string("list\\a.c "), std::string("list\\.\\a.c"), std::string("list/sub/../a.c"),
          std::string("list\\sub\\..\\..\\list\\B"), std::string("list\\config.h"),
          std::string("list\\con"), std::string("list\\nul.h"), std::string("list\\lpt.h"),
          std::string("list\\a.c:x"), std::string("list\\missing.h"), std::string("nodir\\a.c"),
          std::string("list\\sub"), std::string("list\\sub\\"), std::string("list\\."),
          m_strCwd + "\\list\\A.C", deep}) {
        WIN32_FIND_DATAA found;
        HANDLE system = FindFirstFileA(pattern.c_str(), &found);
        const std::string expected = system == INVALID_HANDLE_VALUE ? "-" : found.cFileName;
        if (system != INVALID_HANDLE_VALUE) FindClose(system);
        // Twice: the first probe of a directory lists it, the second is answered from memory.
        for (int probe = 0; probe < 2; ++probe) {
            const Names names = List(pattern);
            EXPECT_EQ(expected, names.empty() ? "-" : names.front()) << pattern;
        }
    }
}

using Win32File = Win32Tree;

// Another program's open of a file the scan reads, and the scan's open of a file another program
// holds, both succeed: Wine enforces share modes between handles as Windows does.
TEST_F(Win32File, SharesWhatItReadsAndReadsFromAnyPosition) {
    m_tree.Write("sub/Data.TXT", "0123456789");
    HANDLE held = CreateFileA("sub\\Data.TXT", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    FileHandle file = OpenDiskFile("SUB\\data.txt");
    ASSERT_NE(file, INVALID_FILE_HANDLE) << "held by a reader that shares reading only";
    CloseHandle(held);
    HANDLE writer = CreateFileA("sub\\Data.TXT", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "a writer while the scan reads";
    CloseHandle(writer);

    char buffer[16];
    unsigned long error = 0;
    EXPECT_EQ(Platform().ReadFile(file, buffer, 4, error), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    ASSERT_TRUE(Platform().SeekFile(file, 7, error));
    EXPECT_EQ(Platform().ReadFile(file, buffer, sizeof buffer, error), 3);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(Platform().ReadFile(file, buffer, sizeof buffer, error), 0);
    Platform().CloseFile(file);

    Platform().CloseFile(INVALID_FILE_HANDLE);
}

using Win32Makefile = Win32Tree;

std::string Bytes(const char* name) {
    std::string bytes;
    if (std::FILE* file = std::fopen(name, "rb")) {
        for (int c; (c = std::fgetc(file)) != EOF;)
            bytes += static_cast<char>(c);
        std::fclose(file);
    }
    return bytes;
}

// Writes a makefile of `text` over `name`; the system's error number, or 0.
unsigned long ReplaceMakefile(const char* name, const char* text) {
    unsigned long error = 0;
    std::FILE* stream = Platform().CreateMakefile(name, error);
    if (stream == nullptr) return error;
    std::fputs(text, stream);
    return Platform().CommitMakefile(error) ? 0 : error;
}

DWORD WINAPI CloseAfterAWhile(LPVOID handle) {
    Sleep(300);
    CloseHandle(static_cast<HANDLE>(handle));
    return 0;
}

// Another program that holds the makefile open without delete sharing (a virus scanner, an
// indexer) is waited for about a second; one that holds it longer makes the run fail with the
// makefile intact. Wine enforces the share modes as Windows does.
TEST_F(Win32Makefile, WaitsForAProgramThatHoldsTheFile) {
    m_tree.Write("depend.mak", "old");
    HANDLE held = CreateFileA("depend.mak", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE closer = CreateThread(nullptr, 0, CloseAfterAWhile, held, 0, nullptr);
    ASSERT_NE(closer, nullptr);
    EXPECT_EQ(ReplaceMakefile("depend.mak", "let go\n"), 0u);
    WaitForSingleObject(closer, INFINITE);
    CloseHandle(closer);
    EXPECT_EQ(Bytes("depend.mak"), "let go\r\n");

    held = CreateFileA("depend.mak", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const DWORD start = GetTickCount();
    const unsigned long error = ReplaceMakefile("depend.mak", "held on\n");
    const DWORD waited = GetTickCount() - start;
    CloseHandle(held);
    EXPECT_TRUE(error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) << error;
    EXPECT_GE(waited, 700u);
    EXPECT_LE(waited, 5000u);
    EXPECT_EQ(Bytes("depend.mak"), "let go\r\n");
    EXPECT_EQ(List("*"), (Names{".", "..", "depend.mak"}));
}

// A read-only makefile is refused before anything is written, and refused again at the rename if
// it became read-only meanwhile: Wine's rename would replace it.
TEST_F(Win32Makefile, RefusesAReadOnlyFile) {
    m_tree.Write("depend.mak", "old");
    ASSERT_TRUE(SetFileAttributesA("depend.mak", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ReplaceMakefile("depend.mak", "new\n"),
              static_cast<unsigned long>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(SetFileAttributesA("depend.mak", FILE_ATTRIBUTE_NORMAL));

    unsigned long error = 0;
    std::FILE* stream = Platform().CreateMakefile("depend.mak", error);
    ASSERT_NE(stream, nullptr) << error;
    ASSERT_TRUE(SetFileAttributesA("depend.mak", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(Platform().CommitMakefile(error));
    EXPECT_EQ(error, static_cast<unsigned long>(ERROR_ACCESS_DENIED));
    SetFileAttributesA("depend.mak", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Bytes("depend.mak"), "old");
    EXPECT_EQ(List("*"), (Names{".", "..", "depend.mak"}));
}

// The letter case of a name is ignored (INCLUDE as include is an end-to-end case); a value is read
// whole whatever its length.
TEST(Win32Environment, ReadsValuesOfAnyLength) {
    std::string value = "stale";
    EXPECT_FALSE(Platform().GetEnvironment("INCWALK32_TEST_LONG", value));
    // Around the size of the first buffer, and far beyond it.
    for (size_t length : {0, 255, 256, 257, 5000}) {
        const std::string text(length, 'v');
        ASSERT_TRUE(SetEnvironmentVariableA("INCWALK32_TEST_LONG", text.c_str()));
        EXPECT_TRUE(Platform().GetEnvironment("incwalk32_test_long", value));
        EXPECT_EQ(value, text) << length;
    }
    SetEnvironmentVariableA("INCWALK32_TEST_LONG", nullptr);
}

class Win32CaseMapping : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    }
};

TEST_F(Win32CaseMapping, MapsTheLettersOfCodePage1252) {
    // A umlaut, S caron, Y diaeresis; sharp s and micro sign have no one-byte counterpart.
    EXPECT_EQ(Lower("ABC:\\_X\xC4\x8A\x9F\xDF\xB5"), "abc:\\_x\xE4\x9A\xFF\xDF\xB5");
    EXPECT_EQ(Upper("abc:\\_x\xE4\x9A\xFF\xDF\xB5"), "ABC:\\_X\xC4\x8A\x9F\xDF\xB5");
    EXPECT_EQ(Lower(std::string("A\0B", 3)), std::string("a\0b", 3)) << "past a NUL byte too";
    EXPECT_EQ(Lower(""), "");
    EXPECT_EQ(Platform().CharLength("\xE4x"), 1u);
}

// Recurses `levels` deep with a frame of about 4 KiB each.
int Recurse(int levels) {
    volatile char frame[4096];
    frame[0] = static_cast<char>(levels);
    if (levels == 0) return frame[0];
    return Recurse(levels - 1) + frame[0] - static_cast<char>(levels) + 1;
}

struct CRecursion {
    int levels;
    int result;
};

// The handles the process holds open. Wine answers GetProcessHandleCount with 0; there the
// descriptors of the process, listed in its /proc, tell the same.
DWORD OpenHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA("Z:\\proc\\self\\fd\\*", &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        ++count;
    } while (FindNextFileA(find, &found));
    ::FindClose(find);
    return count;
}

// A directory's listing read for the cache may exhaust memory at any entry; its handle is closed
// all the same.
TEST_F(Win32Listing, ListingThatRunsOutOfMemoryClosesItsHandle) {
    for (int i = 0; i < 20; ++i)
        m_tree.Write("dir/file" + std::to_string(i) + ".h", "");
    const DWORD before = OpenHandles();
    ASSERT_GT(before, 0u) << "no way to count the open handles";
    int exhausted = 0;
    for (long allowed = 0; allowed < 300; ++allowed) {
        Platform().ForgetFileSystem();
        CFindData data;
        g_nAllocationsLeft = allowed;
        try {
            FindHandle find = Platform().FindFirstFile("dir\\file7.h", data);
            g_nAllocationsLeft = -1;
            Platform().FindClose(find);
        } catch (const std::bad_alloc&) {
            g_nAllocationsLeft = -1;
            ++exhausted;
        }
    }
    EXPECT_GT(exhausted, 20) << "memory ran out inside the listing";
    // Wine opens and closes a descriptor of its own now and then; a leak would hold one for
    // every listing that ran out of memory.
    EXPECT_LE(OpenHandles(), before + 5);
}

// A failure is not an absence: FindFirstFileA's codes for "not there" are a fixed list, and any
// other code ends the run. Wine cannot be made to run out of handles, so the list is the test.
TEST(Win32ListingFailure, ClassifiesTheSystemsCodes) {
    for (DWORD code : {2, 3, 15, 21, 53, 67, 123, 161, 206, 267})
        EXPECT_EQ(ClassifyListingFailure(code), ListingFailure::ABSENT) << code;
    EXPECT_EQ(ClassifyListingFailure(ERROR_ACCESS_DENIED), ListingFailure::NOT_LISTED);
    EXPECT_EQ(ClassifyListingFailure(ERROR_NOT_ENOUGH_MEMORY), ListingFailure::OUT_OF_MEMORY);
    EXPECT_EQ(ClassifyListingFailure(ERROR_OUTOFMEMORY), ListingFailure::OUT_OF_MEMORY);
    for (DWORD code : {ERROR_TOO_MANY_OPEN_FILES, ERROR_NO_MORE_FILES, ERROR_SHARING_VIOLATION,
                       ERROR_IO_DEVICE, ERROR_NO_SYSTEM_RESOURCES, ERROR_GEN_FAILURE})
        EXPECT_EQ(ClassifyListingFailure(code), ListingFailure::FAILED) << code;
}

TEST(Win32LargeStack, RunsRecursionFarBeyondTheDefaultStack) {
    // 64 MiB of frames; the process's own stack is a few MiB.
    CRecursion recursion{16 * 1024, -1};
    ASSERT_TRUE(RunOnLargeStack(
        static_cast<size_t>(256) << 20,
        [](void* context) {
            CRecursion* r = static_cast<CRecursion*>(context);
            r->result = Recurse(r->levels);
        },
        &recursion));
    EXPECT_EQ(recursion.result, recursion.levels);
}

}  // namespace
