// What the rule writer keeps beside the include graph: the graph as a rule's walk reads it, the
// numbers of the source directories that each node's display name is kept for (the node holds
// its name for the directory of the rule that named it last: the sources of one directory share
// most of their headers); and the texts of the rule being written.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "scan/include_node.h"
#include "targets/file_search.h"

// The dependency macros of the macro-based form, one per source for the whole run: make keeps
// only the last definition of a name, so two sources that shared one would both be given the
// headers of the later.
class CMacroNames {
public:
    // The macro of the source whose normal form is `source`: the one it was given before, else
    // `name` (made from its display name) unless another source holds that, else the first free
    // of the names with _2, _3... before the _DEP of `name`.
    const std::string& NameOf(const std::string& source, const std::string& name);

private:
    std::unordered_map<std::string, std::string> m_bySource;
    std::unordered_set<std::string> m_taken;
};

// The dependency names the rules of the run wrote, each once, in the order first written.
class CWrittenNames {
public:
    void Add(const std::string& name) {
        const auto added = m_seen.insert(name);
        if (added.second) m_inOrder.push_back(&*added.first);
    }
    const std::vector<const std::string*>& InOrder() const { return m_inOrder; }

private:
    std::unordered_set<std::string> m_seen;
    std::vector<const std::string*> m_inOrder;  // into m_seen, whose elements never move
};

// One line of a rule after its head: a name and what ends its line.
struct CRuleLine {
    const std::string* name;
    const char* end;  // " \\\n" when the rule continues, else "\n", or " \n" after a /U text
    size_t endLength;
};

// The text of one rule, put together in place and written at once. A string would set every
// byte it grows by before the names are copied in, and a rule may list thousands of headers.
class CRuleText {
public:
    void Clear() { m_nSize = 0; }
    void Append(const char* text, size_t length) { std::memcpy(Extend(length), text, length); }
    void Append(const std::string& text) { Append(text.data(), text.size()); }
    void Append(char c) { *Extend(1) = c; }
    // Room for `length` more bytes at the end, which the caller fills.
    char* Extend(size_t length) {
        if (m_nCapacity - m_nSize < length) Grow(m_nSize + length);
        char* room = m_pBytes.get() + m_nSize;
        m_nSize += length;
        return room;
    }
    const char* Data() const { return m_pBytes.get(); }
    size_t Size() const { return m_nSize; }

private:
    void Grow(size_t least) {
        const size_t capacity = std::max(least, 2 * m_nCapacity);
        std::unique_ptr<char[]> bytes(new char[capacity]);
        if (m_nSize != 0) std::memcpy(bytes.get(), m_pBytes.get(), m_nSize);
        m_pBytes = std::move(bytes);
        m_nCapacity = capacity;
    }

    std::unique_ptr<char[]> m_pBytes;
    size_t m_nSize = 0;
    size_t m_nCapacity = 0;
};

// The include graph as a rule's walk reads it: each node's children by index, in one run of a
// shared array, and the stamp of the walk that listed each node last. A rule meets most nodes
// through several parents and tests at each whether it listed the node already; in arrays of a
// few bytes a node those tests stay in the caches on a tree whose nodes do not, and the walk
// needs no stack of calls however deep the graph.
class CRuleWalk {
public:
    // Takes in the nodes scanned since the last call, up to `count`: `nodeAt(i)` is the node of
    // index i. Their children are final, since no scan is under way while a rule is written.
    template <class NodeAt>
    void AddNodes(size_t count, NodeAt nodeAt) {
        if (count > UINT32_MAX) throw std::bad_alloc();
        for (size_t i = m_nodes.size(); i < count; ++i) {
            CIncludeNode& node = nodeAt(i);
            m_nodes.push_back(&node);
            m_listedBy.push_back(0);
            for (const CIncludeNode* child : node.children)
                m_children.push_back(static_cast<uint32_t>(child->m_nIndex));
            m_childrenEnd.push_back(static_cast<uint32_t>(m_children.size()));
        }
    }
    // Appends `root` and every node it reaches to `out`, depth-first and pre-order, each once.
    void Collect(const CIncludeNode& root, std::vector<CIncludeNode*>& out) {
        ++m_nPass;
        List(static_cast<uint32_t>(root.m_nIndex), out);
        while (!m_stack.empty()) {
            CPlace& place = m_stack.back();
            if (place.next == place.end) {
                m_stack.pop_back();
                continue;
            }
            const uint32_t child = m_children[place.next++];
            if (m_listedBy[child] != m_nPass) List(child, out);
        }
    }

private:
    // A node under way in the walk: the place of its next child in m_children.
    struct CPlace {
        uint32_t next;
        uint32_t end;
    };
    void List(uint32_t index, std::vector<CIncludeNode*>& out) {
        m_listedBy[index] = m_nPass;
        out.push_back(m_nodes[index]);
        m_stack.push_back(CPlace{index == 0 ? 0 : m_childrenEnd[index - 1], m_childrenEnd[index]});
    }

    std::vector<CIncludeNode*> m_nodes;   // by index
    std::vector<uint32_t> m_childrenEnd;  // by index: where its children end in m_children
    std::vector<uint32_t> m_children;     // indices, each node's in a run, in include-line order
    std::vector<unsigned> m_listedBy;     // by index: the walk that listed the node last
    unsigned m_nPass = 0;
    std::vector<CPlace> m_stack;
};

class CRuleScratch {
public:
    // Starts the collection of a new rule, for a source in the directory `dir`: no node is
    // listed yet.
    void BeginRule(const std::string& dir) {
        auto known = m_dirIds.find(dir);
        if (known == m_dirIds.end()) {
            known = m_dirIds.emplace(dir, static_cast<unsigned>(m_dirs.size())).first;
            m_dirs.push_back(CSourceDir{&known->first, CountLevels(dir)});
        }
        m_nDir = known->second;
    }
    // Whether make reads the node's path as it stands: it holds no `$`, which make needs
    // doubled.
    static bool IsMakeText(CIncludeNode& node) {
        if (node.m_nMakeText < 0) node.m_nMakeText = node.path.find('$') == std::string::npos;
        return node.m_nMakeText != 0;
    }
    // The display name kept for `node` when it serves the rule's directory, or null. A name made
    // for another directory serves when the two agree on the bytes that decided it and have as
    // many levels: the sources of sibling directories name the shared headers alike.
    const std::string* KeptName(CIncludeNode& node) const {
        if (node.m_nNamedFor != m_nDir) {
            if (node.m_nNamedFor == 0 || node.m_nNameDecidedBy == NAME_OF_ONE_DIR) return nullptr;
            const CSourceDir& made = m_dirs[node.m_nNamedFor];
            const CSourceDir& now = m_dirs[m_nDir];
            const size_t decided = node.m_nNameDecidedBy;
            if (made.levels != now.levels || now.text->size() < decided ||
                std::memcmp(now.text->data(), made.text->data(), decided) != 0) {
                return nullptr;
            }
            node.m_nNamedFor = m_nDir;
        }
        return &node.m_strDisplayName;
    }
    // Where the display name of `node` in the rule's directory is made and kept.
    std::string& NameToMake(CIncludeNode& node) const {
        node.m_nNamedFor = m_nDir;
        return node.m_strDisplayName;
    }
    // How many leading bytes of the directory decided the name just made.
    static void NameDecidedBy(CIncludeNode& node, size_t bytes) {
        node.m_nNameDecidedBy =
            bytes < NAME_OF_ONE_DIR ? static_cast<uint16_t>(bytes) : NAME_OF_ONE_DIR;
    }

    // Texts of one rule, kept to spare allocations per rule: a rule may list thousands of
    // headers.
    CRuleText m_ruleText;
    std::string m_strObjName;
    std::string m_strUnknownExt;
    std::string m_strSourcePath;
    std::string m_strSourceName;
    std::vector<CRuleLine> m_lines;
    CMacroNames m_macroNames;
    CWrittenNames m_dependencyNames;  // kept for /P only
    CRuleWalk m_walk;

private:
    struct CSourceDir {
        const std::string* text;  // the key in m_dirIds
        size_t levels;            // its backslashes
    };
    // A name decided by more bytes than a node holds the count of serves its own directory only.
    static const uint16_t NAME_OF_ONE_DIR = UINT16_MAX;
    static size_t CountLevels(const std::string& dir) {
        size_t levels = 0;
        for (size_t at = FindBackslash(dir, 0); at != std::string::npos;
             at = FindBackslash(dir, at + 1)) {
            ++levels;
        }
        return levels;
    }

    std::unordered_map<std::string, unsigned> m_dirIds;      // the directories of sources, from 1
    std::vector<CSourceDir> m_dirs{CSourceDir{nullptr, 0}};  // by number; 0 stands for none
    unsigned m_nDir = 0;
};
