// The buffered text file: CR LF read as LF wherever the platform's reads end, lines longer than
// the caller's buffer, and positions that survive the close and reopen the scan makes around
// every include, reading each byte once.
#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "allocations.h"
#include "memory_platform.h"

namespace {

typedef std::vector<std::string> Lines;

// Every line of `name` read with a buffer of `size`; after each line, a close and a reopen that
// seeks back to where the line ended when `reopen` is set.
Lines ReadLines(const char* name, int size, bool reopen = false) {
    Lines lines;
    CTextFile file;
    if (!file.OpenText(name)) return lines;
    std::vector<char> buffer(static_cast<size_t>(size));
    while (int stored = file.ReadLine(buffer.data(), size)) {
        lines.emplace_back(buffer.data(), static_cast<size_t>(stored));
        if (!reopen) continue;
        const int64_t position = file.Tell();
        file.Close();
        EXPECT_TRUE(file.OpenText(name, CTextFile::KeepRead::yes));
        file.Seek(position);
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

TEST_F(TextFile, ReadsACrAtTheEndOfTheBufferWithItsLfAndLongLinesInPieces) {
    const std::string first(16 * 1024 - 1, 'a');
    files.Write("big.txt", first + "\r\nb");
    EXPECT_EQ(ReadLines("big.txt", 20000), (Lines{first + "\n", "b"}));
    files.Write("long.txt", "abcdefghij\r\nabc\r\nd");
    EXPECT_EQ(ReadLines("long.txt", 4), (Lines{"abc", "def", "ghi", "j\n", "abc", "\n", "d"}));
}

TEST_F(TextFile, ReopeningAtEveryLineReadsEachByteOnce) {
    std::string text;  // numbered lines with mixed line ends, longer than the reader's buffer
    for (int i = 0; i < 3000; ++i) {
        text += "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 50), '.');
        text += i % 3 == 0 ? "\r\n" : "\n";
    }
    files.Write("lines.txt", text);
    for (size_t chunk : {0, 7}) {
        files.chunk = chunk;
        files.bytesRead.clear();
        const Lines straight = ReadLines("lines.txt", 100);
        ASSERT_EQ(3000u, straight.size());
        EXPECT_EQ("line 2999" + std::string(49, '.') + "\n", straight.back());
        EXPECT_EQ(straight, ReadLines("lines.txt", 100, true)) << "reads of " << chunk;
        EXPECT_EQ(2 * static_cast<long>(text.size()), files.bytesRead[files.Full("lines.txt")]);
    }
    EXPECT_EQ(0, files.openFiles);
}

// A reopen of a file read to its end opens nothing; a seek back before the kept bytes opens the
// file again and reads there afresh, and fails as a file error once the file is gone; a seek
// beyond the bytes a reopen kept moves the handle there.
TEST_F(TextFile, SeekOutsideTheKeptBytesReadsThereAfresh) {
    files.Write("f.txt", "first\r\nsecond\nthird\n");
    CTextFile file;
    ASSERT_TRUE(file.OpenText("F.TXT"));
    char line[32];
    file.ReadLine(line, sizeof line);
    EXPECT_EQ(7, file.Tell());
    file.ReadLine(line, sizeof line);
    EXPECT_EQ(14, file.Tell());
    const struct {
        int64_t position;
        const char* line;
    } reads[] = {{14, "third\n"}, {0, "first\n"}, {7, "second\n"}};
    for (const auto& read : reads) {
        file.Close();
        ASSERT_TRUE(file.OpenText("f.txt", CTextFile::KeepRead::yes));
        file.Seek(read.position);
        ASSERT_GT(file.ReadLine(line, sizeof line), 0);
        EXPECT_STREQ(read.line, line);
    }
    EXPECT_EQ(14, file.Tell());
    EXPECT_EQ(2, files.opens[files.Full("f.txt")]);
    file.Close();
    files.Remove("f.txt");
    ASSERT_TRUE(file.OpenText("f.txt", CTextFile::KeepRead::yes));
    file.Seek(7);
    ASSERT_GT(file.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ("second\n", line);
    EXPECT_THROW(file.Seek(0), CFileException);

    // Beyond the buffer of a reopened file: the handle is moved there.
    files.Write("far.txt", "a\n" + std::string(20000, 'x') + "\nfar\n");
    ASSERT_TRUE(file.OpenText("far.txt"));
    file.ReadLine(line, sizeof line);
    file.Close();
    ASSERT_TRUE(file.OpenText("far.txt", CTextFile::KeepRead::yes));
    file.Seek(20003);
    ASSERT_GT(file.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ("far\n", line);
    EXPECT_EQ(0, files.badSeeks);
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
TEST_F(TextFile, SizeOfNothingIsNoEndOfFile) {
    files.Write("proc.txt", "#include \"a.h\"\n");
    for (int64_t size : {0, -1}) {
        files.toldSize = size;
        EXPECT_EQ(ReadLines("proc.txt", 32), Lines{"#include \"a.h\"\n"}) << size;
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
    EXPECT_EQ(1, files.openFiles) << "an open closes the file open before";
    ASSERT_GT(file.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ("b1\n", line);
    EXPECT_EQ(0, file.ReadLine(line, sizeof line));
    EXPECT_FALSE(file.OpenText("missing.txt"));
}

}  // namespace
