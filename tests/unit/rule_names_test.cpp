// Dependency names relative to the source's directory, where only another drive, a network path
// or a text that is no full path can show the rules.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app_runner.h"
#include "memory_platform.h"
#include "output/rule_scratch.h"

namespace {

TEST(DependencyName, RelativeBelowTheSameRootFullElsewhere) {
    CMemoryPlatform platform;
    CAppRun run({"/nologo"});
    CDependencyApp& app = *run.app;
    const struct {
        const char* options;  // "A": /A, "A-": /A-
        const char* dir;
        const char* path;
        const char* name;
    } cases[] = {
        {"", "c:\\proj\\src\\", "c:\\proj\\srcx\\a.h", "..\\srcx\\a.h"},
        {"", "c:\\proj\\src\\", "c:\\proj\\src", "..\\src"},
        {"", "c:\\proj\\src\\", "c:\\other\\x.h", "c:\\other\\x.h"},
        {"", "c:\\proj\\src\\", "d:\\proj\\src\\x.h", "d:\\proj\\src\\x.h"},
        {"", "C:\\", "c:\\a\\b.h", "c:\\a\\b.h"},
        {"", "c:\\a\\", "x", "x"},
        // Texts that are no full paths share no root, whatever they share.
        {"", "x\\", "x\\y.h", "x\\y.h"},
        // A network path's root is its server and share, as a drive's is its letter.
        {"", "\\\\srv\\share\\src\\", "\\\\srv\\share\\src\\a.h", "a.h"},
        {"", "\\\\srv\\share\\src\\deep\\", "\\\\srv\\share\\src\\x.h", "..\\x.h"},
        {"", "\\\\srv\\share\\src\\", "\\\\xrv\\share\\src\\a.h", "\\\\xrv\\share\\src\\a.h"},
        {"", "\\\\srv\\share\\src\\", "\\\\srv\\other\\src\\a.h", "\\\\srv\\other\\src\\a.h"},
        {"", "\\\\srv\\share\\src\\", "\\\\srv\\share\\lib\\a.h", "\\\\srv\\share\\lib\\a.h"},
        {"", "\\\\srv\\share\\src\\", "c:\\share\\src\\a.h", "c:\\share\\src\\a.h"},
        {"", "\\\\srv\\share\\", "\\\\xrv\\share\\x.h", "\\\\xrv\\share\\x.h"},
        {"A-", "c:\\", "\\\\srv\\share\\x.h", "\\\\srv\\share\\x.h"},
        {"A-", "c:\\", "c:", "c:"},
    };
    for (const auto& c : cases) {
        app.m_bAbsolutePaths = c.options[0] == 'A';
        app.m_bOmitDrive = c.options[0] == 'A' && c.options[1] == '-';
        EXPECT_EQ(c.name, app.MakeDependencyName(c.dir, c.path)) << c.dir << " " << c.path;
    }
}

// A rule lists each node it reaches once, depth-first in include-line order, whatever the
// sharing; the graph grows between rules, and a node listed by one rule is listed by the next.
TEST(RuleWalk, ListsEachReachedNodeOnceInPreOrderAsTheGraphGrows) {
    std::deque<CIncludeNode> nodes;
    auto add = [&nodes](const char* path) -> CIncludeNode& {
        nodes.emplace_back(path, 0, nodes.size());
        return nodes.back();
    };
    auto paths = [](const std::vector<CIncludeNode*>& listed) {
        std::string text;
        for (const CIncludeNode* node : listed)
            text += node->path + " ";
        return text;
    };
    CIncludeNode& d = add("d");
    CIncludeNode& c = add("c");
    c.children = {&d};
    CIncludeNode& b = add("b");
    b.children = {&d, &c};
    CIncludeNode& a = add("a");
    a.children = {&b, &c, &d};
    CIncludeNode& lone = add("lone");

    CRuleWalk walk;
    auto nodeAt = [&nodes](size_t i) -> CIncludeNode& { return nodes[i]; };
    walk.AddNodes(nodes.size(), nodeAt);
    std::vector<CIncludeNode*> listed;
    walk.Collect(a, listed);
    EXPECT_EQ(paths(listed), "a b d c ");
    listed.clear();
    walk.Collect(lone, listed);
    EXPECT_EQ(paths(listed), "lone ");

    CIncludeNode& e = add("e");
    CIncludeNode& top = add("top");
    top.children = {&e, &c, &a, &e};
    walk.AddNodes(nodes.size(), nodeAt);
    listed.clear();
    walk.Collect(top, listed);
    EXPECT_EQ(paths(listed), "top e c d a b ");
    listed.clear();
    walk.Collect(b, listed);
    EXPECT_EQ(paths(listed), "b d c ");
}

}  // namespace
