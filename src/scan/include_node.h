// One scanned file and the files it includes.
#pragma once

#include <string>
#include <vector>

class CIncludeNode {
public:
    CIncludeNode(const std::string& nodePath, int bSystem) : path(nodePath), isSystem(bSystem) {}

    void AddChild(CIncludeNode* node) { children.push_back(node); }
    // The child at the cursor, advancing it; null once every child has been taken.
    CIncludeNode* NextChild() {
        return cursor < static_cast<int>(children.size()) ? children[cursor++] : nullptr;
    }

    // Appends this node and its descendants, depth-first and pre-order, each node once, to the
    // application's m_ruleDeps. BeginCollection starts a new list.
    static void BeginCollection() { ++s_nCollectPass; }
    void CollectDependencies();
    // Writes the include tree below this node, three blanks a level.
    void PrintTree(int depth);

    std::string path;                     // normal form; also the key in the file table
    int isSystem;                         // first reached through an angle-bracket include
    std::vector<CIncludeNode*> children;  // in include-line order; not owned
    int cursor = 0;

private:
    static unsigned s_nCollectPass;
    unsigned m_nCollectPass = 0;  // the collection that listed this node last
};
