// The searches of the include reader: the first byte that may matter in a run of bytes, sixteen
// bytes at a time where the processor compares them so.
//
// Each search may stop at a few bytes that do not matter as well, which its caller passes over:
// the byte masks that find a line end or NUL find STX and backspace too, and the one that finds
// the quotes and `#` finds `&`.
#pragma once

#if defined(__SSE2__) && defined(__GNUC__)
#include <emmintrin.h>
#define INCWALK32_SSE2 1
#endif

namespace bytesearch {

#if INCWALK32_SSE2
// The bytes x with (x & 0xF5) == 0: NUL, STX, backspace and LF.
inline __m128i LineEndOrNul(__m128i block) {
    return _mm_cmpeq_epi8(_mm_and_si128(block, _mm_set1_epi8(static_cast<char>(0xF5))),
                          _mm_setzero_si128());
}
// The bytes x with (x & 0xFA) == 0x22: `"`, `#`, `&` and `'`.
inline __m128i QuoteOrHash(__m128i block) {
    return _mm_cmpeq_epi8(_mm_and_si128(block, _mm_set1_epi8(static_cast<char>(0xFA))),
                          _mm_set1_epi8(0x22));
}
inline __m128i Equal(__m128i block, char c) {
    return _mm_cmpeq_epi8(block, _mm_set1_epi8(c));
}
inline __m128i Load(const char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline int FirstBit(int mask) {
    return __builtin_ctz(static_cast<unsigned>(mask));
}
#endif

inline bool IsLineEndOrNul(char c) {
    return (static_cast<unsigned char>(c) & 0xF5) == 0;
}

}  // namespace bytesearch

// In code: `/`, a quote, `#`, LF or NUL; or `end`.
inline const char* FindInCode(const char* p, const char* end) {
#if INCWALK32_SSE2
    using namespace bytesearch;
    for (; end - p >= 16; p += 16) {
        const __m128i block = Load(p);
        const int mask = _mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(LineEndOrNul(block), QuoteOrHash(block)), Equal(block, '/')));
        if (mask != 0) return p + FirstBit(mask);
    }
#endif
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '/' || c == '"' || c == '\'' || c == '#' || c == '\n' || c == '\0') return p;
    }
    return end;
}

// In a literal: its quote, a backslash, LF or NUL; or `end`.
inline const char* FindInLiteral(const char* p, const char* end, char quote) {
#if INCWALK32_SSE2
    using namespace bytesearch;
    for (; end - p >= 16; p += 16) {
        const __m128i block = Load(p);
        const int mask = _mm_movemask_epi8(_mm_or_si128(
            _mm_or_si128(LineEndOrNul(block), Equal(block, quote)), Equal(block, '\\')));
        if (mask != 0) return p + FirstBit(mask);
    }
#endif
    for (; p < end; ++p) {
        const char c = *p;
        if (c == quote || c == '\\' || c == '\n' || c == '\0') return p;
    }
    return end;
}

// In a block comment: `*`, LF or NUL; or `end`.
inline const char* FindInComment(const char* p, const char* end) {
#if INCWALK32_SSE2
    using namespace bytesearch;
    for (; end - p >= 16; p += 16) {
        const __m128i block = Load(p);
        const int mask = _mm_movemask_epi8(_mm_or_si128(LineEndOrNul(block), Equal(block, '*')));
        if (mask != 0) return p + FirstBit(mask);
    }
#endif
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '*' || c == '\n' || c == '\0') return p;
    }
    return end;
}

// The first byte in [p, end) that is one of `Bytes`, or `end`.
template <char... Bytes>
inline const char* FindAnyOf(const char* p, const char* end) {
#if INCWALK32_SSE2
    for (; end - p >= 16; p += 16) {
        const __m128i block = bytesearch::Load(p);
        __m128i hits = _mm_setzero_si128();
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(Bytes)))), ...);
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0) return p + bytesearch::FirstBit(mask);
    }
#endif
    for (; p < end; ++p) {
        if (((*p == Bytes) || ...)) return p;
    }
    return end;
}
