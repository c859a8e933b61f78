// The buffered text file across closes and reopens, as the scan uses it around every include.
#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "forwarding_platform.h"
#include "temp_tree.h"

namespace {

// Counts the bytes read and the seeks made, and cuts reads into pieces of at most `chunk`.
class CReadWatcher : public CForwardingPlatform {
public:
    long ReadFile(FileHandle file, char* buffer, size_t size, unsigned long& error) override {
        const long got = m_native.ReadFile(file, buffer, std::min(size, chunk), error);
        if (got > 0) bytesRead += got;
        return got;
    }
    bool SeekFile(FileHandle file, int64_t position, unsigned long& error) override {
        ++seeks;
        return m_native.SeekFile(file, position, error);
    }
    size_t chunk = static_cast<size_t>(-1);
    long bytesRead = 0;
    int seeks = 0;
};

// A file of numbered lines with mixed line ends, longer than the reader's buffer.
std::string NumberedLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 50), '.');
        text += i % 3 == 0 ? "\r\n" : "\n";
    }
    return text;
}

std::vector<std::string> ReadAll(const std::string& name, bool reopenEveryLine) {
    CTextFile file;
    EXPECT_TRUE(file.OpenText(name.c_str()));
    std::vector<std::string> lines;
    char line[100];
    while (int stored = file.ReadLine(line, sizeof line)) {
        lines.emplace_back(line, static_cast<size_t>(stored));
        if (!reopenEveryLine) continue;
        const int64_t position = file.Tell();
        file.Close();
        EXPECT_TRUE(file.OpenText(name.c_str(), CTextFile::KeepRead::yes));
        file.Seek(position);
    }
    return lines;
}

TEST(TextFile, ReopeningAtEveryLineReadsTheSameLinesAndEachByteOnce) {
    CTempTree tree;
    const std::string text = NumberedLines(3000);  // about 100 KB
    tree.Write("lines.txt", text);
    const std::string name = tree.Path("lines.txt");
    for (size_t chunk : {static_cast<size_t>(-1), static_cast<size_t>(7)}) {
        CReadWatcher watcher;
        watcher.chunk = chunk;
        const std::vector<std::string> straight = ReadAll(name, false);
        const long straightBytes = watcher.bytesRead;
        EXPECT_EQ(static_cast<long>(text.size()), straightBytes);
        EXPECT_EQ(straight, ReadAll(name, true)) << "reads of " << chunk;
        EXPECT_EQ(2 * straightBytes, watcher.bytesRead) << "a reopen reads nothing twice";
        ASSERT_EQ(3000u, straight.size());
        EXPECT_EQ("line 2999" + std::string(49, '.') + "\n", straight.back());
    }
}

// A reopen of a file read to its end opens nothing; a seek back before the kept bytes opens the
// file again and reads there afresh, and fails as a file error once the file is gone.
TEST(TextFile, SeekOutsideTheKeptBytesReadsThereAfresh) {
    CTempTree tree;
    tree.Write("f.txt", "first\nsecond\r\nthird\n");
    CTextFile file;
    ASSERT_TRUE(file.OpenText(tree.Path("f.txt").c_str()));
    char line[32];
    file.ReadLine(line, sizeof line);
    file.ReadLine(line, sizeof line);
    const struct {
        int64_t position;
        const char* line;
    } reads[] = {{0, "first\n"}, {6, "second\n"}, {14, "third\n"}};
    for (const auto& read : reads) {
        file.Close();
        ASSERT_TRUE(file.OpenText(tree.Path("f.txt").c_str(), CTextFile::KeepRead::yes));
        file.Seek(read.position);
        ASSERT_GT(file.ReadLine(line, sizeof line), 0);
        EXPECT_STREQ(read.line, line);
    }
    EXPECT_EQ(0, file.ReadLine(line, sizeof line));
    file.Close();
    tree.Remove("f.txt");
    ASSERT_TRUE(file.OpenText(tree.Path("f.txt").c_str(), CTextFile::KeepRead::yes));
    file.Seek(6);
    ASSERT_GT(file.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ("second\n", line);
    EXPECT_THROW(file.Seek(0), CFileException);
}

// Files that a kernel makes as they are read (those in /proc) report a size of 0.
TEST(TextFile, SizeOfNothingIsNoEndOfFile) {
    CTempTree tree;
    tree.Write("proc.txt", "#include \"a.h\"\n");
    class CZeroSize : public CForwardingPlatform {
    public:
        FileHandle OpenFile(const char* name, OpenScope scope, CFileFacts& facts) override {
            FileHandle file = m_native.OpenFile(name, scope, facts);
            facts.size = 0;
            return file;
        }
    } zeroSize;
    CTextFile file;
    ASSERT_TRUE(file.OpenText(tree.Path("proc.txt").c_str()));
    char line[32];
    ASSERT_GT(file.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ("#include \"a.h\"\n", line);
}

TEST(TextFile, PlainOpenForgetsWhatAnEarlierFileKept) {
    CTempTree tree;
    tree.Write("a.txt", "a1\na2\n");
    tree.Write("b.txt", "b1\n");
    CTextFile file;
    char line[8];
    ASSERT_TRUE(file.OpenText(tree.Path("a.txt").c_str()));
    file.ReadLine(line, sizeof line);
    file.Close();
    ASSERT_TRUE(file.OpenText(tree.Path("b.txt").c_str()));
    ASSERT_GT(file.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ("b1\n", line);
    EXPECT_EQ(0, file.ReadLine(line, sizeof line));
}

}  // namespace
