// Tables keyed by text that the scan consults for every include line and every probe.
//
// On a tree of a hundred thousand files these tables outgrow the caches, and a node-based hash
// map pays a miss for the bucket, one for the node and often one for the key's bytes. Here a
// lookup reads one slot, which holds the key's hash beside a view of it, and compares bytes only
// on a full hash match; growing moves slots, never keys or values. No table is ever walked in
// order, so the layout of the slots cannot reach the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

// The hash of a text, eight bytes at a time.
inline uint32_t HashText(std::string_view text) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t left = text.size();
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ left;
    for (; left >= 8; bytes += 8, left -= 8) {
        uint64_t word;
        std::memcpy(&word, bytes, 8);
        hash = (hash ^ word) * 0xBF58476D1CE4E5B9ull;
        hash ^= hash >> 31;
    }
    uint64_t tail = 0;
    for (size_t i = 0; i < left; ++i)
        tail |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    hash = (hash ^ tail) * 0x94D049BB133111EBull;
    hash ^= hash >> 32;
    return static_cast<uint32_t>(hash);
}

// Texts to values held in the slots: open addressing over one block, at most half full. The
// index keeps views: the bytes of every key must outlive it.
template <class Value>
class CTextIndex {
public:
    // The slot's value for `key`, or null when the key is not entered.
    Value* Find(std::string_view key) { return Find(key, HashText(key)); }
    const Value* Find(std::string_view key) const {
        return const_cast<CTextIndex*>(this)->Find(key, HashText(key));
    }
    Value* Find(std::string_view key, uint32_t hash) {
        if (m_slots.empty()) return nullptr;
        for (size_t slot = hash & Mask();; slot = (slot + 1) & Mask()) {
            CSlot& entry = m_slots[slot];
            if (entry.data == nullptr) return nullptr;
            if (entry.hash == hash && Equal(entry, key)) return &entry.value;
        }
    }
    // Enters `key` with `value` unless it is entered already; returns the value it has and
    // whether it was entered now.
    std::pair<Value*, bool> Insert(std::string_view key, uint32_t hash, Value value) {
        if (2 * (m_nCount + 1) > m_slots.size()) Grow();
        for (size_t slot = hash & Mask();; slot = (slot + 1) & Mask()) {
            CSlot& entry = m_slots[slot];
            if (entry.data == nullptr) {
                // An empty key still needs a mark of its own that the slot is taken.
                entry = CSlot{key.empty() ? "" : key.data(), static_cast<uint32_t>(key.size()),
                              hash, std::move(value)};
                ++m_nCount;
                return {&entry.value, true};
            }
            if (entry.hash == hash && Equal(entry, key)) return {&entry.value, false};
        }
    }
    std::pair<Value*, bool> Insert(std::string_view key, Value value) {
        return Insert(key, HashText(key), std::move(value));
    }
    size_t Size() const { return m_nCount; }
    void Clear() {
        m_slots.clear();
        m_nCount = 0;
    }

private:
    struct CSlot {
        const char* data;  // null: a free slot
        uint32_t size;
        uint32_t hash;
        Value value;
    };
    size_t Mask() const { return m_slots.size() - 1; }
    static bool Equal(const CSlot& entry, std::string_view key) {
        return entry.size == key.size() &&
               (key.empty() || std::memcmp(entry.data, key.data(), key.size()) == 0);
    }
    void Grow() {
        std::vector<CSlot> old(m_slots.empty() ? 64 : 2 * m_slots.size(),
                               CSlot{nullptr, 0, 0, Value()});
        old.swap(m_slots);
        for (CSlot& entry : old) {
            if (entry.data == nullptr) continue;
            size_t slot = entry.hash & Mask();
            while (m_slots[slot].data != nullptr)
                slot = (slot + 1) & Mask();
            m_slots[slot] = std::move(entry);
        }
    }

    std::vector<CSlot> m_slots;  // a power of two in size
    size_t m_nCount = 0;
};

// Texts to values, keys and values owned by the map. A value stays where it is for the life of
// the map, so callers may keep pointers to it; the keys are copied into blocks of their own, so
// that a key costs no allocation of its own.
template <class Value>
class CTextMap {
public:
    Value* Find(std::string_view key) {
        Value** value = m_index.Find(key);
        return value == nullptr ? nullptr : *value;
    }
    // The value of `key`, made from `value` when the key is new; and whether it was new.
    std::pair<Value*, bool> Insert(std::string_view key, Value value) {
        const uint32_t hash = HashText(key);
        if (Value** known = m_index.Find(key, hash)) return {*known, false};
        m_values.push_back(std::move(value));
        Value* kept = &m_values.back();
        m_index.Insert(CopyKey(key), hash, kept);
        return {kept, true};
    }
    void Clear() {
        m_index.Clear();
        m_values.clear();
        m_blocks.clear();
        m_nBlockLeft = 0;
    }

private:
    static const size_t BLOCK_SIZE = 16384;

    std::string_view CopyKey(std::string_view key) {
        if (key.empty()) return key;
        char* bytes;
        if (key.size() > BLOCK_SIZE / 4) {  // a long key has a block to itself
            m_blocks.emplace_back(new char[key.size()]);
            bytes = m_blocks.back().get();
        } else {
            if (key.size() > m_nBlockLeft) {
                m_blocks.emplace_back(new char[BLOCK_SIZE]);
                m_pBlockFree = m_blocks.back().get();
                m_nBlockLeft = BLOCK_SIZE;
            }
            bytes = m_pBlockFree;
            m_pBlockFree += key.size();
            m_nBlockLeft -= key.size();
        }
        std::memcpy(bytes, key.data(), key.size());
        return std::string_view(bytes, key.size());
    }

    CTextIndex<Value*> m_index;
    std::deque<Value> m_values;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_pBlockFree = nullptr;
    size_t m_nBlockLeft = 0;
};
