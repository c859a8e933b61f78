#include <gtest/gtest.h>

#include "app_runner.h"

namespace {

const char BANNER_PREFIX[] = "incwalk32 1.10";
const char NO_TARGETS[] = "incwalk32: no targets specified; type 'incwalk32 /?' for usage\n";

// The diagnostic that follows the banner line on standard error.
std::string AfterBanner(const std::string& err) {
    EXPECT_EQ(0u, err.find(BANNER_PREFIX)) << err;
    return err.substr(err.find('\n') + 1);
}

TEST(Options, ErrorModesTakeLetterAndDigitInEitherCase) {
    CAppRun run({"/EF0", "/ex3", "/Ef23", "-er2", "/ET1"});
    EXPECT_EQ(2, run.app->m_nErrNotFound);  // a later /E for the same letter replaces
    EXPECT_EQ(3, run.app->m_nErrUnknownExt);
    EXPECT_EQ(2, run.app->m_nErrRecursive);
    EXPECT_EQ(1, run.app->m_nErrNoFiles);
    EXPECT_EQ(NO_TARGETS, run.err);  // no banner before this message
    EXPECT_EQ(255, run.ExitCode());
}

TEST(Options, DefaultsWhenNothingIsGiven) {
    CAppRun run({});
    EXPECT_EQ(1, run.app->m_nErrRecursive);
    EXPECT_EQ(2, run.app->m_nErrNotFound);
    EXPECT_EQ(2, run.app->m_nErrNoFiles);
    EXPECT_EQ(2, run.app->m_nErrUnknownExt);
    EXPECT_EQ(1, run.app->m_bBanner);
    EXPECT_EQ(NO_TARGETS, run.err);
    EXPECT_EQ("", run.out);
    EXPECT_EQ(255, run.ExitCode());
}

TEST(Options, GeneratedMacroLetters) {
    CAppRun plain({"/G", "/nologo"});
    EXPECT_EQ(0, plain.app->m_bMainObj + plain.app->m_bMainDep + plain.app->m_bMainObjResponse);

    CAppRun both({"/GOT"});
    EXPECT_EQ(1, both.app->m_bMainObj);
    EXPECT_EQ(1, both.app->m_bMainDep);
    EXPECT_EQ(0, both.app->m_bMainObjResponse);

    CAppRun response({"/go+t"});
    EXPECT_EQ(1, response.app->m_bMainObjResponse);
    EXPECT_EQ(1, response.app->m_bMainDep);

    CAppRun rejected({"/Gt+"});
    EXPECT_EQ(1, rejected.app->m_bMainDep) << "flags set before the bad letter stay set";
    EXPECT_EQ("incwalk32: invalid /G option; type 'incwalk32 /? for usage\n",
              AfterBanner(rejected.err));
    EXPECT_EQ(255, rejected.ExitCode());
}

TEST(Options, NologoIsTheOnlyWordOfN) {
    for (const char* arg : {"/NOLOGO", "-nologo", "/NoLogo"}) {
        CAppRun run({arg});
        EXPECT_EQ(0, run.app->m_bBanner) << arg;
    }
    for (const char* arg : {"/nolog", "/nologos", "/N"}) {
        CAppRun run({arg, "/?"});
        EXPECT_EQ(
            std::string("incwalk32: invalid option '") + arg + "'; type 'incwalk32 /?' for usage\n",
            AfterBanner(run.err));
        EXPECT_EQ("", run.out);
    }
}

TEST(Options, AbsolutePathsAndFlags) {
    CAppRun omit({"/A-", "/h", "/m", "/s"});
    EXPECT_EQ(1, omit.app->m_bAbsolutePaths);
    EXPECT_EQ(1, omit.app->m_bOmitDrive);
    EXPECT_EQ(1, omit.app->m_bHierarchical);
    EXPECT_EQ(1, omit.app->m_bMacroFormat);
    EXPECT_EQ(1, omit.app->m_bSystemIncludes);

    CAppRun keep({"/Ax"});
    EXPECT_EQ(1, keep.app->m_bAbsolutePaths);
    EXPECT_EQ(0, keep.app->m_bOmitDrive);
}

TEST(Options, PathsAreLowerCasedAndCollected) {
    CAppRun run(
        {"/Ic:\\Inc;D:\\Lib", "/Ie:\\x", "/XFoo.H", "/Xfoo.h", "/UVersion.H", "/U*.h", "/OObj"});
    EXPECT_EQ("c:\\inc;d:\\lib;e:\\x;", run.app->m_strIncludePath);
    EXPECT_EQ((CStringList{"foo.h", "foo.h"}), run.app->m_excludes);
    EXPECT_EQ((CStringList{"Version.H", "*.h"}), run.app->m_universals);
    EXPECT_EQ("obj\\", run.app->m_strObjPath);
    EXPECT_EQ(1, run.app->IsExcluded("foo.h"));
    EXPECT_EQ(0, run.app->IsExcluded("sub\\foo.h"));
}

TEST(Options, ObjectPathEndsInBackslashOrColon) {
    const struct {
        const char* arg;
        const char* path;
    } cases[] = {{"/Oobj", "obj\\"}, {"/Oc:", "c:"}, {"/Oout\\", "out\\"}, {"/Oout/", "out/\\"}};
    for (const auto& c : cases) {
        CAppRun run({"/Ofirst", c.arg});
        EXPECT_EQ(c.path, run.app->m_strObjPath) << c.arg;
    }
}

TEST(Arguments, TargetsMacrosAndTheirSplit) {
    CAppRun run({"test.cpp=abcd", "a.b.c=x", "x=a.b", "=x", "DEBUG=1", "NAME=", "Main.C",
                 "\"CFLAGS=-O2 -g\"", "\"CFG\"=debug", "\"my dir\\a.c\"=o"});
    EXPECT_EQ((CStringList{"test.cpp", "a.b.c", "Main.C", "my dir\\a.c"}), run.app->m_targets);
    // the text after a closing quote is dropped, with its =ext
    EXPECT_EQ((CStringList{"abc", "x", "", ""}), run.app->m_targetExts);
    EXPECT_EQ((CStringList{"x=a.b", "=x", "DEBUG=1", "NAME=", "CFLAGS=-O2 -g", "CFG="}),
              run.app->m_macros);
}

TEST(Arguments, TargetWithEmptyNameOrExtensionIsRejected) {
    CAppRun run({"/nologo", "test.cpp=", "/?"});
    EXPECT_EQ("incwalk32: invalid target 'test.cpp='; type 'incwalk32 /?' for usage\n", run.err);
    EXPECT_EQ("", run.out);
    EXPECT_EQ(255, run.ExitCode());

    CAppRun quoted({"/nologo", "\".c\"=obj"});
    EXPECT_EQ((CStringList{".c"}), quoted.app->m_targets);
}

}  // namespace
