// One scanned file and the files it includes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A file by its identity, whatever name reached it: device and inode, or volume and file index.
struct CFileKey {
    uint64_t volume;
    uint64_t index;
    bool operator==(const CFileKey& other) const {
        return volume == other.volume && index == other.index;
    }
};

struct CFileKeyHash {
    size_t operator()(const CFileKey& key) const {
        return static_cast<size_t>(key.index * 0x9E3779B97F4A7C15ull ^ key.volume);
    }
};

class CIncludeNode {
public:
    CIncludeNode(std::string nodePath, int bSystem, size_t nodeIndex)
        : path(std::move(nodePath)), isSystem(bSystem), index(nodeIndex) {}

    // The child at the cursor, advancing it; null once every child has been taken.
    CIncludeNode* NextChild() {
        return cursor < static_cast<int>(children.size()) ? children[cursor++] : nullptr;
    }

    // A node is active while its file's scan is under way, that is while its path stands on the
    // active-file stack.
    bool IsActive() const { return m_bActive; }
    void SetActive(bool active) { m_bActive = active; }
    // Appends this node and its descendants, depth-first and pre-order, each node once, to the
    // application's m_ruleDeps.
    void CollectDependencies();
    // Writes the include tree below this node, three blanks a level.
    void PrintTree(int depth);

    std::string path;                     // normal form; also the key in the file table
    int isSystem;                         // first reached through an angle-bracket include
    std::vector<CIncludeNode*> children;  // in include-line order; not owned
    int cursor = 0;
    size_t index;  // the place of the node in the order of scans; the writer keeps its own there

private:
    bool m_bActive = false;
};
