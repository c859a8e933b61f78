// What a directory written as the callers write it resolves to, for both platform layers.
//
// The scan probes the same few directories, spelled the same way, for every include line: the
// text up to and including the last separator finds the answer without a full-path conversion.
// The answers hold while the current directory stays.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

template <class Directory>
class CDirsAsWritten {
public:
    struct CAnswer {
        const Directory* directory;  // null where nothing can be listed
        size_t fullLength;           // of the full path, its last separator included; 0: none
    };

    // The answer for the directory text `text[0, length)`, or null when none is kept yet.
    const CAnswer* Find(const char* text, size_t length) {
        m_strKey.assign(text, length);
        auto known = m_byText.find(m_strKey);
        return known == m_byText.end() ? nullptr : &known->second;
    }
    // Keeps the answer for the text last given to Find.
    const CAnswer& Keep(const Directory* directory, size_t fullLength) {
        return m_byText.emplace(m_strKey, CAnswer{directory, fullLength}).first->second;
    }
    void Clear() { m_byText.clear(); }

private:
    std::unordered_map<std::string, CAnswer> m_byText;
    std::string m_strKey;  // kept to spare an allocation per probe
};
