// The separators of a path that are characters of their own. In BIG5 or Shift JIS the trail byte
// of a double-byte character may be a backslash; a trail byte always follows a byte of 0x80 or
// more, so only a candidate behind such a byte needs the text walked from its start. The path
// operations and both platform layers share these, each with its own measure of a character:
// `charLength(p)`, the length of the character that starts at p.
#pragma once

#include <cstddef>
#include <string>

enum class Slash { NOT, TOO };  // whether a slash separates too

inline bool IsSeparatorByte(char c, Slash slash) {
    return c == '\\' || (c == '/' && slash == Slash::TOO);
}

// The position of the last separator of text[0, length) that is a character of its own, or npos.
template <class CharLength>
size_t LastSeparatorOf(const char* text, size_t length, Slash slash, CharLength charLength) {
    size_t candidate = length;
    while (candidate > 0 && !IsSeparatorByte(text[candidate - 1], slash))
        --candidate;
    if (candidate == 0) return std::string::npos;
    --candidate;
    if (candidate == 0 || static_cast<unsigned char>(text[candidate - 1]) < 0x80) return candidate;
    size_t last = std::string::npos;
    for (size_t i = 0; i < length;) {
        if (IsSeparatorByte(text[i], slash)) last = i;
        i += static_cast<unsigned char>(text[i]) < 0x80 ? 1 : charLength(text + i);
    }
    return last;
}

// Whether the text's last character is a backslash.
template <class CharLength>
bool EndsWithBackslash(const std::string& text, CharLength charLength) {
    if (text.empty() || text.back() != '\\') return false;
    return LastSeparatorOf(text.data(), text.size(), Slash::NOT, charLength) == text.size() - 1;
}
