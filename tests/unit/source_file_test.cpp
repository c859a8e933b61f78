// The include reader: the comment stripper's states, and includes read across the close and
// reopen the scan makes around every include that opens another file.
#include "scan/source_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "memory_platform.h"

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

}  // namespace
