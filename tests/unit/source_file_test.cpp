#include "scan/source_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "temp_tree.h"

namespace {

// Strips one line in place with the given comment state; returns the line and the new state.
std::string Strip(const std::string& line, int& inComment) {
    CSourceFile reader;
    reader.m_bInComment = inComment;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    reader.StripComments(buffer.data());
    inComment = reader.m_bInComment;
    return buffer.data();
}

TEST(StripComments, CommentsBecomeBlanksAndLineCommentsEndTheLine) {
    int inComment = 0;
    EXPECT_EQ("        #include \"a.h\"", Strip("/* x */ #include \"a.h\"", inComment));
    EXPECT_EQ("#include \"a.h\"  ", Strip("#include \"a.h\"  // note", inComment));
    EXPECT_EQ("#include <a", Strip("#include <a//b.h>", inComment));
    EXPECT_EQ("", Strip("// #include \"a.h\"", inComment));
    EXPECT_EQ(0, inComment);
}

TEST(StripComments, BlockCommentCarriesOverLines) {
    int inComment = 0;
    EXPECT_EQ("#include \"a.h\"" + std::string(21, ' '),
              Strip("#include \"a.h\" /* begins a comment\n", inComment));
    EXPECT_EQ(1, inComment);
    EXPECT_EQ("               ", Strip("#include \"b.h\"\n", inComment))
        << "the line end blanks too";
    EXPECT_EQ("   #include \"c.h\"\n", Strip("*/ #include \"c.h\"\n", inComment));
    EXPECT_EQ(0, inComment);
}

TEST(StripComments, LiteralsHideCommentMarkersUntilTheLineEnds) {
    int inComment = 0;
    EXPECT_EQ("#error don't /* stop\n", Strip("#error don't /* stop\n", inComment));
    EXPECT_EQ(0, inComment) << "an open literal ends with its line";
    EXPECT_EQ("s = \"\\\" /* \"; ", Strip("s = \"\\\" /* \"; // x", inComment));
    EXPECT_EQ("c = '\\\\';" + std::string(5, ' '), Strip("c = '\\\\'; /**/", inComment));
    EXPECT_EQ("x = \"a\\", Strip("x = \"a\\", inComment)) << "a backslash at the end stays";
}

TEST(StripComments, StarSlashWithoutOpeningIsText) {
    int inComment = 0;
    EXPECT_EQ("a */ b", Strip("a */ b", inComment));
    EXPECT_EQ("   ", Strip("/*/", inComment));
    EXPECT_EQ(1, inComment) << "/*/ opens a comment and does not close it";
}

// Every include name a file yields, with /S as given.
std::vector<std::string> Includes(CTempTree& tree, const std::string& content, int scanSystem) {
    tree.Write("f.h", content);
    CSourceFile reader;
    EXPECT_EQ(1, reader.Open(tree.Path("f.h").c_str(), scanSystem));
    std::vector<std::string> names;
    std::string name;
    while (reader.ReadInclude(name))
        names.push_back(name);
    return names;
}

typedef std::vector<std::string> Names;

TEST(ReadInclude, IncludeLineForms) {
    CTempTree tree;
    EXPECT_EQ((Names{"\"a.h", "\"b.h", "\"c.h", "\"sub\\d e.h", "\"", "\"f.h"}),
              Includes(tree,
                       "#include \"a.h\"\n"
                       "#include\"b.h\"\n"
                       " \t #include \t \"c.h\"\n"
                       "#include \"sub\\d e.h\"\n"
                       "#include \"\"\n"
                       "#if 0\n#include \"f.h\"\n#endif\n",
                       0));
}

TEST(ReadInclude, LinesThatAreNoIncludeLines) {
    CTempTree tree;
    EXPECT_EQ(Names{}, Includes(tree,
                                "# include \"a.h\"\n"
                                "#INCLUDE \"a.h\"\n"
                                "#include_next \"a.h\"\n"
                                "#include MACRO\n"
                                "#include \"a.h\n"
                                "#include <a.h\n"
                                "#include <stdio.h>\n"
                                "#include\n"
                                "/*\n#include \"in-comment.h\"\n*/\n",
                                0));
}

TEST(ReadInclude, AngleIncludesOnlyWithSystemScanning) {
    CTempTree tree;
    EXPECT_EQ((Names{"<stdio.h", "\"a.h"}),
              Includes(tree, "#include <stdio.h>\n#include <a//b.h>\n#include \"a.h\"\n", 1));
}

TEST(ReadInclude, CrLfAndMissingFinalLineEnd) {
    CTempTree tree;
    EXPECT_EQ((Names{"\"a.h", "\"b.h"}),
              Includes(tree, "#include \"a.h\"\r\n/* x\r\n */#include \"b.h\"", 0));
}

TEST(ReadInclude, LongLinesAreExaminedInPiecesOf1999) {
    CTempTree tree;
    const std::string fill(1999, 'x');
    EXPECT_EQ(
        (Names{"\"second.h", "\"third.h"}),
        Includes(tree,
                 // a piece begins at character 2000; a line of exactly 1999 with its
                 // line end; a name cut by the piece boundary
                 fill + "#include \"second.h\"\n" + std::string(1980, ' ') +
                     "#include \"third.h\"\n" + std::string(1990, ' ') + "#include \"cut.h\"\n",
                 0));
}

TEST(ReadInclude, CloseAndReopenContinueAtTheNextLineInsideTheComment) {
    CTempTree tree;
    tree.Write("f.h",
               "#include \"a.h\" /* begins a comment\n"
               "#include \"hidden.h\"\n"
               "*/ #include \"b.h\"\n"
               "#include \"c.h\"\n");
    CSourceFile reader;
    ASSERT_EQ(1, reader.Open(tree.Path("f.h").c_str(), 0));
    std::string name;
    std::vector<std::string> names;
    while (reader.ReadInclude(name)) {
        names.push_back(name);
        reader.Close();
        EXPECT_FALSE(reader.IsOpen());
        ASSERT_EQ(1, reader.Reopen());
    }
    EXPECT_EQ((Names{"\"a.h", "\"b.h", "\"c.h"}), names);
}

TEST(ReadInclude, ReopenNeedsTheFileOnlyForWhatIsNotReadYet) {
    CTempTree tree;
    const std::string rest = "#include \"b.h\"\n";
    tree.Write("whole.h", "#include \"a.h\"\n" + rest);
    tree.Write("long.h", "#include \"a.h\"\n" + std::string(40000, '\n') + rest);
    for (const char* file : {"whole.h", "long.h"}) {
        CSourceFile reader;
        ASSERT_EQ(1, reader.Open(tree.Path(file).c_str(), 0));
        std::string name;
        ASSERT_EQ(1, reader.ReadInclude(name));
        reader.Close();
        tree.Remove(file);
        if (std::string(file) == "long.h") {
            EXPECT_EQ(0, reader.Reopen());
            continue;
        }
        // The first read took the whole file: the rest is at hand without it.
        ASSERT_EQ(1, reader.Reopen());
        ASSERT_EQ(1, reader.ReadInclude(name));
        EXPECT_EQ("\"b.h", name);
    }
    EXPECT_EQ(0, CSourceFile().Open(tree.Path("missing.h").c_str(), 0));
}

}  // namespace
