// What the rule writer keeps beside the include graph, by each node's index: the stamp of the
// collection that listed the node last, and its display name for the directory of the rule that
// listed it last (the sources of one directory share most of their headers).
#pragma once

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

class CRuleScratch {
public:
    // Starts the collection of a new rule over a graph of `nodes` nodes: none is listed yet.
    void BeginCollection(size_t nodes) {
        if (m_entries.size() < nodes) m_entries.resize(nodes);
        ++m_nPass;
    }
    // False when `node` is listed in this collection already; otherwise marks it listed.
    bool FirstVisit(const CIncludeNode& node) {
        CNodeEntry& entry = Entry(node);
        if (entry.pass == m_nPass) return false;
        entry.pass = m_nPass;
        return true;
    }
    // Whether make reads the node's path as it stands: it holds no `$`, which make needs
    // doubled.
    bool IsMakeText(const CIncludeNode& node) {
        CNodeEntry& entry = Entry(node);
        if (entry.makeText < 0) entry.makeText = node.path.find('$') == std::string::npos;
        return entry.makeText != 0;
    }
    // The display name kept for `node` in `dir`, or null.
    const std::string* CachedName(const CIncludeNode& node, const std::string& dir) {
        const CNodeEntry& entry = Entry(node);
        return entry.nameDir == dir && !dir.empty() ? &entry.name : nullptr;
    }
    const std::string& CacheName(const CIncludeNode& node, const std::string& dir,
                                 std::string name) {
        CNodeEntry& entry = Entry(node);
        entry.nameDir = dir;
        entry.name = std::move(name);
        return entry.name;
    }

    std::string m_strRuleText;  // the rule being written, kept to spare an allocation per rule
    CMacroNames m_macroNames;
    CWrittenNames m_dependencyNames;  // kept for /P only

private:
    struct CNodeEntry {
        unsigned pass = 0;
        signed char makeText = -1;  // not known yet
        std::string nameDir;
        std::string name;
    };

    CNodeEntry& Entry(const CIncludeNode& node) { return m_entries[node.index]; }

    std::vector<CNodeEntry> m_entries;  // by node index
    unsigned m_nPass = 0;
};
