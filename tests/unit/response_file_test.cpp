#include "app/response_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    CArgArray tokens;
    SplitResponseLine(buffer.data(), tokens);
    return std::vector<std::string>(tokens.begin(), tokens.end());
}

typedef std::vector<std::string> Tokens;

TEST(ResponseLine, BlanksAndTabsSeparate) {
    EXPECT_EQ((Tokens{"/nologo", "a.c", "b.c"}), Split("  /nologo \t a.c\tb.c  "));
    EXPECT_EQ(Tokens{}, Split(""));
    EXPECT_EQ(Tokens{}, Split(" \t \t"));
}

TEST(ResponseLine, QuotedTokenLosesTheCharacterAfterItsClosingQuote) {
    const Tokens expected{"/nologo", "\"my sources\\main.cpp\"", "zzz", "/Ie:\\inc"};
    EXPECT_EQ(expected, Split("/nologo   \"my sources\\main.cpp\"=zzz /Ie:\\inc"));
    EXPECT_EQ(expected, Split("/nologo\t\t\t\"my sources\\main.cpp\"=zzz\t/Ie:\\inc"));
    EXPECT_EQ((Tokens{"a\"b c\"", "e"}), Split("a\"b c\"d e"));
}

TEST(ResponseLine, ClosingQuoteAtTheEndOfTheLine) {
    EXPECT_EQ((Tokens{"x", "\"CFLAGS=-O2 -g\""}), Split("x \"CFLAGS=-O2 -g\""));
}

TEST(ResponseLine, QuoteWithoutPartnerOrAfterTheSeparatorHasNoEffect) {
    EXPECT_EQ((Tokens{"\"open", "quote", "x"}), Split("\"open quote x"));
    EXPECT_EQ((Tokens{"ab", "c\"d e\""}), Split("ab c\"d e\""));
    EXPECT_EQ((Tokens{"a\"b\"", "c"}), Split("a\"b\" c"));
}

}  // namespace
