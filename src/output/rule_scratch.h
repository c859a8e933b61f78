// What the rule writer keeps beside the include graph: the stamp of the collection under way
// (each node holds the stamp of the one that listed it last), by each node's index its display
// name for the directory of the rule that listed it last (the sources of one directory share
// most of their headers); and the texts of the rule being written.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "scan/include_node.h"

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

class CRuleScratch {
public:
    // Starts the collection of a new rule over a graph of `nodes` nodes, for a source in the
    // directory `dir`: no node is listed yet.
    void BeginRule(size_t nodes, const std::string& dir) {
        if (m_entries.size() < nodes) m_entries.resize(nodes);
        ++m_nPass;
        auto known = m_dirIds.find(dir);
        if (known == m_dirIds.end()) {
            known = m_dirIds.emplace(dir, static_cast<unsigned>(m_dirIds.size() + 1)).first;
        }
        m_nDir = known->second;
    }
    // False when `node` is listed in this collection already; otherwise marks it listed.
    bool FirstVisit(CIncludeNode& node) const {
        if (node.listedBy == m_nPass) return false;
        node.listedBy = m_nPass;
        return true;
    }
    // Whether make reads the node's path as it stands: it holds no `$`, which make needs
    // doubled.
    bool IsMakeText(const CIncludeNode& node) {
        CNodeEntry& entry = Entry(node);
        if (entry.makeText < 0) entry.makeText = node.path.find('$') == std::string::npos;
        return entry.makeText != 0;
    }
    // The display name kept for `node` in the rule's directory, or null.
    const std::string* CachedName(const CIncludeNode& node) {
        const CNodeEntry& entry = Entry(node);
        return entry.nameDir == m_nDir ? &entry.name : nullptr;
    }
    // Where the display name of `node` in the rule's directory is made and kept.
    std::string& NameToMake(const CIncludeNode& node) {
        CNodeEntry& entry = Entry(node);
        entry.nameDir = m_nDir;
        return entry.name;
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

private:
    struct CNodeEntry {
        unsigned nameDir = 0;       // the directory `name` was made for; 0 for none
        signed char makeText = -1;  // not known yet
        std::string name;
    };

    CNodeEntry& Entry(const CIncludeNode& node) { return m_entries[node.index]; }

    std::vector<CNodeEntry> m_entries;  // by node index
    unsigned m_nPass = 0;
    std::unordered_map<std::string, unsigned> m_dirIds;  // the directories of sources
    unsigned m_nDir = 0;
};
