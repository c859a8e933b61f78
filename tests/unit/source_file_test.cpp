// The include reader: the comment stripper's states, and includes read across the close and
// reopen the scan makes around every include that opens another file.
#include "scan/source_file.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "memory_platform.h"
#include "reference_reader.h"

namespace {

TEST(StripComments, CommentsBlankLineCommentsEndTheLineLiteralsHideMarkers) {
    const struct {
        int inComment;  // the state before the line
        const char* line;
        const char* stripped;
        int after;
    } lines[] = {
        {0, "#include <a//b.h>", "#include <a", 0},
        {0, "#include \"a.h\" /* begins\n", "#include \"a.h\"           ", 1},
        {1, "#include \"b.h\"\n", "               ", 1},  // the line end blanks too
        {1, "*/ #include \"c.h\"\n", "   #include \"c.h\"\n", 0},
        {0, "#error don't /* stop\n", "#error don't /* stop\n", 0},  // a literal ends with its line
        {0, "s = \"\\\" /* \"; // x", "s = \"\\\" /* \"; ", 0},
        {0, "c = '\\\\'; /**/", "c = '\\\\';     ", 0},
        {0, "x = \"a\\", "x = \"a\\", 0},
        {0, "a */ b", "a */ b", 0},
        {0, "/*/", "   ", 1},  // opens a comment and does not close it
    };
    for (const auto& line : lines) {
        CSourceFile reader;
        reader.m_bInComment = line.inComment;
        std::vector<char> buffer(line.line, line.line + std::strlen(line.line) + 1);
        reader.StripComments(buffer.data());
        EXPECT_STREQ(line.stripped, buffer.data()) << line.line;
        EXPECT_EQ(line.after, reader.m_bInComment) << line.line;
    }
}

TEST(ReadInclude, CloseAndReopenContinueAtTheNextLineInsideTheComment) {
    CMemoryPlatform files;
    files.Write("f.h",
                "#include \"a.h\" /* begins a comment\n"
                "#include \"hidden.h\"\n"
                "*/ #include \"b.h\"\n"
                "#include <c.h>\n");
    CSourceFile reader;
    ASSERT_EQ(1, reader.Open("f.h", 1));
    std::string name;
    std::vector<std::string> names;
    while (reader.ReadInclude(name)) {
        names.push_back(name);
        reader.Close();
        EXPECT_FALSE(reader.IsOpen());
        ASSERT_EQ(1, reader.Reopen());
    }
    EXPECT_EQ((std::vector<std::string>{"\"a.h", "\"b.h", "<c.h"}), names);
}

// Every include name of `bytes` as the reader yields it through a window of `cap`, reads of
// `chunk` bytes, and a close and reopen after each name.
std::vector<std::string> ReadAll(CMemoryPlatform& files, const std::string& bytes, size_t cap,
                                 size_t chunk) {
    files.Write("f.c", bytes);
    files.chunk = chunk;
    CSourceFile reader(cap);
    std::vector<std::string> names;
    if (reader.Open("f.c", 1) != 1) return names;
    std::string name;
    while (reader.ReadInclude(name)) {
        names.push_back(name);
        reader.Close();
        if (reader.Reopen() != 1) break;
    }
    return names;
}

// The reader finds pieces and comments in the file's bytes by jumping between the characters that
// matter; it must name what the step-by-step reader names at every edge of a piece (a line of 1999
// characters, a CR LF pair counting as one) and of the window a large file is read through.
TEST(ReadInclude, NamesWhatTheStepByStepReaderNamesAtEveryEdge) {
    std::vector<std::string> inputs;
    for (size_t length = 1995; length <= 2002; ++length) {
        for (const char* end : {"\n", "\r\n", "\r", ""}) {
            for (const char* tail :
                 {"#include \"a.h\"\n", "*/ #include \"b.h\"\n", "/\n#include \"c.h\"\n"}) {
                inputs.push_back(std::string(length, 'x') + end + tail);
                inputs.push_back("/*" + std::string(length, ' ') + end + tail);
                inputs.push_back("s = \"" + std::string(length, 'q') + "\\" + end + tail);
                inputs.push_back(std::string(length, '\t') + "#include \"d.h\"" + end + tail);
            }
        }
    }
    for (size_t length = 1994; length <= 1999; ++length)  // */ across the end of a piece
        inputs.push_back("/*" + std::string(length, ' ') + "*/\n#include \"z.h\"\n*/\n");
    inputs.push_back(
        std::string("#include \"e\0.h\"\n#inc\0lude \"f.h\"\n/* \0 */\n#include \"g.h\"\n", 48));
    std::string windows;  // edges of a small window land everywhere
    for (int i = 0; i < 300; ++i) {
        windows += std::string(static_cast<size_t>(i * 7 % 61), ' ') + "#include \"n" +
                   std::to_string(i) + ".h\" /* x" + (i % 3 == 0 ? "\r\n" : "\n") + "y */\n";
    }
    inputs.push_back(windows);
    // Short runs of what the searches stop at, in any order (`0` stands for a NUL byte): most
    // fall in the last bytes of a file, which the searches go through a byte at a time.
    std::vector<std::string> tokens;
    std::istringstream tokenList("#include \"a.h\"|#|/|*|/*|*/|//|\"|'|\\|\n|\r|x| |0|\x02|&");
    for (std::string token; std::getline(tokenList, token, '|');)
        tokens.push_back(token == "0" ? std::string(1, '\0') : token);
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::string input;
        for (unsigned count = random() % 12; count > 0; --count)
            input += tokens[random() % tokens.size()];
        inputs.push_back(input);
    }
    CMemoryPlatform files;
    for (const std::string& input : inputs) {
        const std::vector<std::string> expected = CReferenceReader::Includes(input, true);
        for (size_t cap :
             {CTextFile::LEAST_CAP, CTextFile::LEAST_CAP + 61, CTextFile::WHOLE_FILE_CAP}) {
            for (size_t chunk : {0, 7}) {
                EXPECT_EQ(expected, ReadAll(files, input, cap, chunk))
                    << "cap " << cap << ", reads of " << chunk << ", input of " << input.size();
            }
        }
    }
    EXPECT_EQ(0, files.openFiles);
    EXPECT_EQ(0, files.badSeeks);
}

}  // namespace
