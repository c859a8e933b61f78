#include <gtest/gtest.h>

#include "app_runner.h"
#include "output/rule_writer.h"

namespace {

TEST(DependencyName, RelativeToTheSourceDirectory) {
    CAppRun run({"/nologo"});
    const CDependencyApp& app = *run.app;
    const std::string src = "c:\\proj\\src\\";
    EXPECT_EQ("util.h", app.MakeDependencyName(src, "c:\\proj\\src\\util.h"));
    EXPECT_EQ("sys\\io.h", app.MakeDependencyName(src, "c:\\proj\\src\\sys\\io.h"));
    EXPECT_EQ("..\\common\\defs.h", app.MakeDependencyName(src, "c:\\proj\\common\\defs.h"));
    EXPECT_EQ("..\\srcx\\a.h", app.MakeDependencyName(src, "c:\\proj\\srcx\\a.h"));
    EXPECT_EQ("..\\src", app.MakeDependencyName(src, "c:\\proj\\src"));
    EXPECT_EQ("..\\..\\x.h", app.MakeDependencyName("c:\\proj\\src\\deep\\", "c:\\proj\\x.h"));
}

TEST(DependencyName, OtherTopLevelDirectoriesDrivesAndTheRootStayFull) {
    CAppRun run({"/nologo"});
    const CDependencyApp& app = *run.app;
    EXPECT_EQ("c:\\other\\x.h", app.MakeDependencyName("c:\\proj\\src\\", "c:\\other\\x.h"));
    EXPECT_EQ("d:\\lib\\x.h", app.MakeDependencyName("c:\\proj\\src\\", "d:\\lib\\x.h"));
    EXPECT_EQ("c:\\main.h", app.MakeDependencyName("c:\\", "c:\\main.h"));
    EXPECT_EQ("c:\\a\\b.h", app.MakeDependencyName("C:\\", "c:\\a\\b.h"));
    EXPECT_EQ("\\\\srv\\x.h", app.MakeDependencyName("c:\\a\\", "\\\\srv\\x.h"));
    EXPECT_EQ("x", app.MakeDependencyName("c:\\a\\", "x")) << "short paths are left alone";
}

// A network path's root is its server and share, as a drive's is its letter.
TEST(DependencyName, NetworkPathsAreRelativeOnlyBelowTheSameShare) {
    CAppRun run({"/nologo"});
    const CDependencyApp& app = *run.app;
    const std::string src = "\\\\srv\\share\\src\\";
    EXPECT_EQ("a.h", app.MakeDependencyName(src, "\\\\srv\\share\\src\\a.h"));
    EXPECT_EQ("..\\x.h", app.MakeDependencyName(src + "deep\\", "\\\\srv\\share\\src\\x.h"));
    for (const char* other : {"\\\\xrv\\share\\src\\a.h", "\\\\srv\\other\\src\\a.h",
                              "\\\\srv\\share\\lib\\a.h", "c:\\share\\src\\a.h"}) {
        EXPECT_EQ(other, app.MakeDependencyName(src, other));
    }
    EXPECT_EQ("\\\\xrv\\share\\x.h",
              app.MakeDependencyName("\\\\srv\\share\\", "\\\\xrv\\share\\x.h"));
}

TEST(DependencyName, AbsoluteForms) {
    CAppRun run({"/nologo"});
    CDependencyApp& app = *run.app;
    app.m_bAbsolutePaths = 1;
    EXPECT_EQ("c:\\proj\\src\\util.h",
              app.MakeDependencyName("c:\\proj\\src\\", "c:\\proj\\src\\util.h"));
    app.m_bOmitDrive = 1;
    EXPECT_EQ("\\proj\\src\\util.h",
              app.MakeDependencyName("c:\\proj\\src\\", "c:\\proj\\src\\util.h"));
    EXPECT_EQ("\\\\srv\\share\\x.h", app.MakeDependencyName("c:\\", "\\\\srv\\share\\x.h"));
    EXPECT_EQ("c:", app.MakeDependencyName("c:\\", "c:"));
}

TEST(ObjectName, DefaultMapAndOverride) {
    const struct {
        const char* name;
        const char* ext;
        const char* object;
        const char* unknown;  // null when the extension is known
    } cases[] = {
        {"parser.cpp", "", "parser.obj", nullptr},
        {"src\\lexer.c", "", "src\\lexer.obj", nullptr},
        {"app.rc", "", "app.res", nullptr},
        {"util.cpp", "o", "util.o", nullptr},
        {"src\\x.cpp", "OBJ", "src\\x.OBJ", nullptr},
        {"a.b.cpp", "", "a.b.obj", nullptr},
        {"src\\a.b.cpp", "", "src\\a.b.cpp", "b.cpp"},
        {"src\\makefile", "", "src\\makefile", nullptr},
        {"notes.txt", "", "notes.txt", "txt"},
        {"a.cxx", "", "a.cxx", "cxx"},
        {"dir.d\\file", "", "dir.d\\file", nullptr},
        {"c:\\src\\a.cpp", "", "c:\\src\\a.obj", nullptr},
        {"trailing.", "", "trailing.", ""},
    };
    for (const auto& c : cases) {
        std::string object, unknown = "junk";
        EXPECT_EQ(c.unknown == nullptr, MakeObjectName(c.name, c.ext, object, unknown)) << c.name;
        EXPECT_EQ(c.object, object) << c.name;
        EXPECT_EQ(c.unknown == nullptr ? "" : c.unknown, unknown) << c.name;
    }
}

TEST(MacroName, FileNameWithItsFirstDotMadeAnUnderscore) {
    EXPECT_EQ("PARSER_CPP_DEP", MakeMacroName("parser.cpp"));
    EXPECT_EQ("PARSER_CPP_DEP", MakeMacroName("c:\\proj\\src\\parser.cpp"));
    EXPECT_EQ("LEXER_C_DEP", MakeMacroName("lexer.c"));
    EXPECT_EQ("A_B.CPP_DEP", MakeMacroName("a.b.cpp"));
    EXPECT_EQ("MAKEFILE_DEP", MakeMacroName("makefile"));
    EXPECT_EQ("_DEP", MakeMacroName("c:\\dir\\"));
}

}  // namespace
