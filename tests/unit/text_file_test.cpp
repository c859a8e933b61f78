// The text file: CR LF read as LF wherever the platform's reads end, lines longer than the
// caller's buffer, and the close and reopen the scan makes around every include: a file that fits
// the cap is opened and read once, a larger one read through its window, each byte once.
#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "allocations.h"
#include "memory_platform.h"

namespace {

typedef std::vector<std::string> Lines;

// Every line of `name` read with a buffer of `size` through a window of `cap`; after each line a
// close and a reopen when `reopen` is set.
Lines ReadLines(const char* name, int size, bool reopen = false,
                size_t cap = CTextFile::WHOLE_FILE_CAP) {
    Lines lines;
    CTextFile file(OpenScope::DISK_FILE, cap);
    if (!file.OpenText(name)) return lines;
    std::vector<char> buffer(static_cast<size_t>(size));
    while (int stored = file.ReadLine(buffer.data(), size)) {
        lines.emplace_back(buffer.data(), static_cast<size_t>(stored));
        if (!reopen) continue;
        const int64_t position = file.Tell();
        file.Close();
        EXPECT_TRUE(file.Reopen());
        EXPECT_EQ(position, file.Tell());
    }
    return lines;
}

class TextFile : public testing::Test {
protected:
    CMemoryPlatform files;
};

TEST_F(TextFile, ReadsCrLfAsLfWhereverTheReadsEnd) {
    files.Write("t.txt", std::string("one\r\ntwo\rthree\n\r\nn\0ul\r\nlast\r", 28));
    const Lines expected = {"one\n", "two\rthree\n", "\n", std::string("n\0ul\n", 5), "last\r"};
    for (size_t chunk : {1, 2, 3, 5, 64}) {
        files.chunk = chunk;
        EXPECT_EQ(ReadLines("t.txt", 100), expected) << "reads of " << chunk;
        EXPECT_EQ(ReadLines("t.txt", 100, true), expected) << "reads of " << chunk;
    }
}

TEST_F(TextFile, ReadsACrAtTheEndOfTheWindowWithItsLfAndLongLinesInPieces) {
    const std::string first(CTextFile::LEAST_CAP - 1, 'a');
    files.Write("big.txt", first + "\r\nb");
    EXPECT_EQ(ReadLines("big.txt", 20000, false, CTextFile::LEAST_CAP), (Lines{first + "\n", "b"}));
    files.Write("long.txt", "abcdefghij\r\nabc\r\nd");
    EXPECT_EQ(ReadLines("long.txt", 4), (Lines{"abc", "def", "ghi", "j\n", "abc", "\n", "d"}));
}

// A file that fits the cap is opened once however often it is closed and reopened; a larger one
// is opened again at each reopen and read on behind its window. Each byte is read once.
TEST_F(TextFile, ReopeningAtEveryLineReadsEachByteOnce) {
    std::string text;  // numbered lines with mixed line ends, longer than the least window
    for (int i = 0; i < 3000; ++i) {
        text += "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 50), '.');
        text += i % 3 == 0 ? "\r\n" : "\n";
    }
    files.Write("lines.txt", text);
    const std::string full = files.Full("lines.txt");
    for (size_t chunk : {0, 7}) {
        files.chunk = chunk;
        files.bytesRead.clear();
        files.opens.clear();
        const Lines straight = ReadLines("lines.txt", 100);
        ASSERT_EQ(3000u, straight.size());
        EXPECT_EQ("line 2999" + std::string(49, '.') + "\n", straight.back());
        EXPECT_EQ(straight, ReadLines("lines.txt", 100, true)) << "reads of " << chunk;
        EXPECT_EQ(2, files.opens[full]) << "a reopen of a file in memory opens nothing";
        EXPECT_EQ(straight, ReadLines("lines.txt", 100, true, CTextFile::LEAST_CAP));
        EXPECT_GT(files.opens[full], 100) << "a reopen of a file beyond the cap opens it";
        EXPECT_EQ(3 * static_cast<long>(text.size()), files.bytesRead[full]);
        EXPECT_EQ(0, files.badSeeks);
    }
    EXPECT_EQ(0, files.openFiles);
}

// A file beyond the cap that is gone, or cannot be positioned, when it is reopened: the reopen
// fails, and a file in memory needs no reopen.
TEST_F(TextFile, ReopenOfAFileBeyondTheCapNeedsTheFile) {
    files.Write("big.txt", std::string(3 * CTextFile::LEAST_CAP, 'x') + "\nend\n");
    files.Write("small.txt", "a\nb\n");
    CTextFile big(OpenScope::DISK_FILE, CTextFile::LEAST_CAP);
    CTextFile small;
    ASSERT_TRUE(big.OpenText("big.txt"));
    ASSERT_TRUE(small.OpenText("small.txt"));
    char line[8];
    big.ReadLine(line, sizeof line);
    small.ReadLine(line, sizeof line);
    big.Close();
    small.Close();
    files.Remove("big.txt");
    files.Remove("small.txt");
    EXPECT_FALSE(big.Reopen());
    ASSERT_TRUE(small.Reopen());
    ASSERT_GT(small.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ("b\n", line);
}

TEST_F(TextFile, LeavesNothingOpenOrAllocatedBehind) {
    files.Write("a.txt", "line\nmore\n");  // the second line still kept when the file ends
    char line[8];
    for (int run = 0; run < 2; ++run) {  // the first fills the platform's record
        const long alive = g_nAllocationsAlive;
        {
            CTextFile file;
            ASSERT_TRUE(file.OpenText("a.txt"));
            file.ReadLine(line, sizeof line);
        }
        EXPECT_TRUE(run == 0 || g_nAllocationsAlive == alive)
            << "blocks left: " << g_nAllocationsAlive - alive;
    }
    EXPECT_EQ(0, files.openFiles);
}

// Files that a kernel makes as they are read (those in /proc) report a size of 0; a pipe none.
// Without a size the window starts small and grows as the file does, keeping what it read.
TEST_F(TextFile, SizeOfNothingIsNoEndOfFile) {
    Lines numbered;
    std::string text;
    for (int i = 0; i < 4000; ++i) {  // beyond the first window, not beyond the cap
        numbered.push_back("#include \"" + std::to_string(i) + ".h\"\n");
        text += numbered.back();
    }
    files.Write("proc.txt", "#include \"a.h\"\n");
    files.Write("long.txt", text);
    for (int64_t size : {0, -1}) {
        files.toldSize = size;
        EXPECT_EQ(ReadLines("proc.txt", 32), Lines{"#include \"a.h\"\n"}) << size;
        EXPECT_EQ(ReadLines("long.txt", 32), numbered) << size;
    }
}

TEST_F(TextFile, PlainOpenClosesAndForgetsTheEarlierFile) {
    files.Write("a.txt", "a1\na2\n");
    files.Write("b.txt", "b1\n");
    CTextFile file;
    char line[8];
    ASSERT_TRUE(file.OpenText("a.txt"));
    file.ReadLine(line, sizeof line);
    ASSERT_TRUE(file.OpenText("b.txt"));
    EXPECT_EQ(0, files.openFiles) << "a file read whole is closed at once";
    EXPECT_EQ(1, files.mostOpenFiles);
    ASSERT_GT(file.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ("b1\n", line);
    EXPECT_EQ(0, file.ReadLine(line, sizeof line));
    EXPECT_FALSE(file.OpenText("missing.txt"));
}

}  // namespace
