// The scan's search on the native platform, in a real tree: a probe allocates nothing once the
// search's texts have room and the directories are known.
#include <gtest/gtest.h>

#include <string>

#include "allocations.h"
#include "targets/file_search.h"
#include "temp_tree.h"

namespace {

TEST(Search, ProbesAllocateNothing) {
    CTempTree tree;
    tree.Enter();
    tree.Write("inc1/a.h", "");
    tree.Write("inc3/x.h", "");
    CFileSearch search;
    std::string match;
    for (int warm = 0; warm < 2; ++warm) {
        search.FindFirst("x.h", "inc1;inc2;inc3", SEARCH_LIST_ONLY);
        search.FindNext(match);
        search.FindFirst("missing.h", "inc1;inc2;inc3", SEARCH_LIST_ONLY);
    }
    const long before = g_nAllocationsMade;
    for (int probe = 0; probe < 100; ++probe) {
        ASSERT_TRUE(search.FindFirst("x.h", "inc1;inc2;inc3", SEARCH_LIST_ONLY));
        search.FindNext(match);
        EXPECT_FALSE(search.FindFirst("missing.h", "inc1;inc2;inc3", SEARCH_LIST_ONLY));
    }
    EXPECT_EQ(before, g_nAllocationsMade) << "allocations for 600 probes of directories";
    EXPECT_EQ("inc3\\x.h", match);
}

}  // namespace
