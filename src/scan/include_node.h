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

class CIncludeNode;

// The files met by their identity, to their nodes: open addressing in one block that doubles as
// it fills, so that a file costs no allocation of its own.
class CIdentityTable {
public:
    CIncludeNode* Find(const CFileKey& key) const {
        if (m_slots.empty()) return nullptr;
        for (size_t slot = Home(key);; slot = (slot + 1) & (m_slots.size() - 1)) {
            if (m_slots[slot].node == nullptr) return nullptr;
            if (m_slots[slot].key == key) return m_slots[slot].node;
        }
    }
    // Enters `node` for `key`, unless the key has a node already.
    void Insert(const CFileKey& key, CIncludeNode* node) {
        if (2 * (m_nCount + 1) > m_slots.size()) Grow();
        for (size_t slot = Home(key);; slot = (slot + 1) & (m_slots.size() - 1)) {
            if (m_slots[slot].node == nullptr) {
                m_slots[slot] = CSlot{key, node};
                ++m_nCount;
                return;
            }
            if (m_slots[slot].key == key) return;
        }
    }

private:
    struct CSlot {
        CFileKey key;
        CIncludeNode* node;  // null: a free slot
    };
    size_t Home(const CFileKey& key) const { return CFileKeyHash()(key) & (m_slots.size() - 1); }
    void Grow() {
        std::vector<CSlot> old(m_slots.empty() ? 64 : 2 * m_slots.size(),
                               CSlot{CFileKey{0, 0}, nullptr});
        old.swap(m_slots);
        m_nCount = 0;
        for (const CSlot& entry : old) {
            if (entry.node != nullptr) Insert(entry.key, entry.node);
        }
    }

    std::vector<CSlot> m_slots;  // a power of two in size, at most half full
    size_t m_nCount = 0;
};

class CIncludeNode {
public:
    CIncludeNode(std::string nodePath, int bSystem, size_t nodeIndex)
        : isSystem(bSystem), m_nIndex(nodeIndex), path(std::move(nodePath)) {}

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

    // What a rule's lines read of every node they list comes first, to share a line of memory
    // on a tree too large for the caches: the writer keeps the node's display name here rather
    // than in a table of its own, which would cost a second miss per dependency.
    std::string m_strDisplayName;   // the writer's name of the node for `m_nNamedFor`
    int isSystem;                   // first reached through an angle-bracket include
    unsigned m_nNamedFor = 0;       // the source directory the name was made for (0: none yet)
    signed char m_nMakeText = -1;   // whether `path` needs no `$` doubled; -1: not known yet
    uint16_t m_nNameDecidedBy = 0;  // the leading bytes of that directory the name depends on
    int cursor = 0;
    size_t m_nIndex;   // the place of the node in the order of scans, which the rule walk uses
    std::string path;  // normal form; also the key in the file table
    std::vector<CIncludeNode*> children;  // in include-line order; not owned

private:
    bool m_bActive = false;
};
