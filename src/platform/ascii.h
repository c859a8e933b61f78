// ASCII letters and their case, whatever the locale: option letters, drive letters and the
// ASCII characters of names never follow the locale's mapping, which in Turkish upper-cases `i`
// to a dotted capital.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Maps the case of the ASCII letters of `text` eight bytes at a time, up to the first word of
// eight that holds a byte of 0x80 or more; returns how many bytes it mapped.
inline size_t MapAsciiWords(char* text, size_t size, bool upper) {
    const uint64_t ones = 0x0101010101010101u;
    const uint64_t highBits = 0x8080808080808080u;
    const uint64_t first = (upper ? 'a' : 'A') * ones;
    const uint64_t last = (upper ? 'z' : 'Z') * ones;
    size_t at = 0;
    for (; size - at >= 8; at += 8) {
        uint64_t word;
        std::memcpy(&word, text + at, 8);
        if ((word & highBits) != 0) break;
        // A byte's high bit is set in `fromFirst` when it is at least the first letter, and in
        // `pastLast` when it is beyond the last: no byte carries into the next, all being ASCII.
        const uint64_t fromFirst = word + (highBits - first);
        const uint64_t pastLast = word + (highBits - last - ones);
        const uint64_t letters = (fromFirst & ~pastLast) & highBits;
        word ^= letters >> 2;  // 0x20 for every letter: the other case
        std::memcpy(text + at, &word, 8);
    }
    return at;
}
