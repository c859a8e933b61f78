// ASCII letters and their case, whatever the locale: option letters, drive letters and the
// ASCII characters of names never follow the locale's mapping, which in Turkish upper-cases `i`
// to a dotted capital.
#pragma once

inline bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
