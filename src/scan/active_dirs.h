// The directories of the active files, where quoted includes are searched from the innermost
// file out.
#pragma once

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <vector>

// Each directory is searched once per include however many active files stand in it: one
// searched before finds nothing the second time, and a chain that alternates between two
// directories would otherwise cost time quadratic in its depth. The directories are pushed and
// popped with their files; the distinct ones are kept in a list, innermost first, so that a
// search visits only those. A directory is a view of its file's path, which outlives its scan;
// the entries of the lookup are kept for reuse, so that a push allocates nothing once warm.
class CActiveDirs {
public:
    void Push(std::string_view dir);
    void Pop();

    // Calls `search` with each distinct directory, innermost first, until it returns true;
    // returns whether one did.
    template <class Search>
    bool AnyOf(Search search) const {
        for (size_t i = m_nInnermost; i != NONE; i = m_entries[i].outer) {
            if (search(m_entries[i].dir)) return true;
        }
        return false;
    }

private:
    static const size_t NONE = static_cast<size_t>(-1);

    // One active file's directory, linked to its neighbours among the distinct directories.
    // An entry whose directory a later file repeats is taken out of the list until that file
    // ends; the LIFO order of the stack lets it return between the same neighbours.
    struct CEntry {
        std::string_view dir;
        size_t inner;     // the next distinct entry inwards, or NONE
        size_t outer;     // the next distinct entry outwards, or NONE
        size_t shadowed;  // the entry of the same directory that this one took out, or NONE
    };

    void Unlink(size_t index);
    void Relink(size_t index);

    typedef std::unordered_map<std::string_view, size_t> CLatest;

    std::vector<CEntry> m_entries;  // in stack order, outermost first
    size_t m_nInnermost = NONE;
    CLatest m_latest;  // directory to its innermost entry
    std::vector<CLatest::node_type> m_spareEntries;
};
