// SplitResponseLine on any bytes: it works in place on a zero-terminated line, so every token
// must be a non-empty string that begins and ends inside the line, before its first zero.
#include <cstring>
#include <vector>

#include "app/response_file.h"
#include "fuzz_support.h"

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The exact size, so that AddressSanitizer sees any read past the terminator.
    std::vector<char> line(data, data + size);
    line.push_back('\0');
    char* const begin = line.data();
    // Reading stops at the first zero, as it does for a response-file line holding one.
    char* const end = begin + std::strlen(begin);

    CArgArray tokens;
    tokens.push_back(nullptr);  // the program name's place, as the response-file reader has it
    SplitResponseLine(begin, tokens);

    FUZZ_CHECK(tokens[0] == nullptr);
    char* previousEnd = begin;
    for (size_t i = 1; i < tokens.size(); ++i) {
        char* token = tokens[i];
        FUZZ_CHECK(token >= previousEnd && token < end);
        const size_t length = std::strlen(token);
        FUZZ_CHECK(length > 0);
        FUZZ_CHECK(token + length <= end);
        FUZZ_CHECK(!IsSeparator(token[0]));
        previousEnd = token + length + 1;
    }
    return 0;
}
