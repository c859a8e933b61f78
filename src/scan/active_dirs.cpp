#include "scan/active_dirs.h"

#include <utility>

void CActiveDirs::Push(std::string_view dir) {
    const size_t index = m_entries.size();
    m_entries.push_back(CEntry{dir, NONE, m_nInnermost, NONE});
    if (m_nInnermost != NONE) m_entries[m_nInnermost].inner = index;
    m_nInnermost = index;
    auto latest = m_latest.find(dir);
    if (latest != m_latest.end()) {
        m_entries[index].shadowed = latest->second;
        Unlink(latest->second);
        latest->second = index;
        return;
    }
    if (m_spareEntries.empty()) {
        m_latest.emplace(dir, index);
        return;
    }
    CLatest::node_type spare = std::move(m_spareEntries.back());
    m_spareEntries.pop_back();
    spare.key() = dir;
    spare.mapped() = index;
    m_latest.insert(std::move(spare));
}

void CActiveDirs::Pop() {
    const size_t index = m_entries.size() - 1;
    CEntry& entry = m_entries[index];
    // The key is the text of the directory's first entry, which outlives every later one.
    auto latest = m_latest.find(entry.dir);
    if (entry.shadowed != NONE) {
        Relink(entry.shadowed);
        latest->second = entry.shadowed;
    } else {
        m_spareEntries.push_back(m_latest.extract(latest));
    }
    // Read after the relink: the entry taken out may be the next one outwards again.
    m_nInnermost = entry.outer;
    if (m_nInnermost != NONE) m_entries[m_nInnermost].inner = NONE;
    m_entries.pop_back();
}

void CActiveDirs::Unlink(size_t index) {
    const CEntry& entry = m_entries[index];
    if (entry.inner != NONE) m_entries[entry.inner].outer = entry.outer;
    if (entry.outer != NONE) m_entries[entry.outer].inner = entry.inner;
}

void CActiveDirs::Relink(size_t index) {
    const CEntry& entry = m_entries[index];
    if (entry.inner != NONE) m_entries[entry.inner].outer = index;
    if (entry.outer != NONE) m_entries[entry.outer].inner = index;
}
