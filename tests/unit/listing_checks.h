// The listings that both builds must deliver alike, checked by the platform tests of each.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forwarding_platform.h"

// The files of the directory `list` that ExpectListingsOfBothBuilds lists; it also holds an
// empty directory `sub`.
const char* const LISTED_FILES[] = {"b.c", "A.c", "_x", "Z.C", "noext", "x.tar.c"};

// Dots first, then the names by their upper-cased bytes; wildcards match without regard to case.
inline void ExpectListingsOfBothBuilds() {
    typedef std::vector<std::string> Names;
    // Upper-cased, '_' sorts after the letters; lower-cased it would sort before them.
    EXPECT_EQ(ListMatches("list\\*"),
              (Names{".", "..", "A.c", "b.c", "noext", "sub", "x.tar.c", "Z.C", "_x"}));
    EXPECT_EQ(ListMatches("LIST\\*.*"), ListMatches("list\\*"));
    EXPECT_EQ(ListMatches("list\\*.C"), (Names{"A.c", "b.c", "x.tar.c", "Z.C"}));
    EXPECT_EQ(ListMatches("list\\?.c"), (Names{"A.c", "b.c", "Z.C"}));
    EXPECT_EQ(ListMatches("list\\S?B"), (Names{"sub"}));
    EXPECT_EQ(ListMatches("list\\sub\\*"), (Names{".", ".."}));
    EXPECT_EQ(ListMatches("list\\sub\\..\\*.c"), ListMatches("list\\*.c"));
    EXPECT_EQ(ListMatches("list\\*.h"), Names{});
}
