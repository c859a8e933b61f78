// What a directory written as the callers write it resolves to, for both platform layers.
//
// The scan probes the same few directories, spelled the same way, for every include line: the
// text up to and including the last separator finds the answer without a full-path conversion.
// The answers hold while the current directory stays.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/text_map.h"

template <class Directory>
class CDirsAsWritten {
public:
    struct CAnswer {
        const Directory* directory;  // null where nothing can be listed
        size_t fullLength;           // of the full path, its last separator included; 0: none
    };

    // The answer for the directory text `text[0, length)`, or null when none is kept yet.
    const CAnswer* Find(const char* text, size_t length) {
        m_key = std::string_view(text, length);
        return m_byText.Find(m_key);
    }
    // Keeps the answer for the text last given to Find, which must still stand.
    const CAnswer& Keep(const Directory* directory, size_t fullLength) {
        return *m_byText.Insert(m_key, CAnswer{directory, fullLength}).first;
    }
    void Clear() { m_byText.Clear(); }

private:
    CTextMap<CAnswer> m_byText;
    std::string_view m_key;  // the text last given to Find
};
