#include "platform/replacement.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/platform.h"

std::string NewFileName(const std::string& leaf, unsigned long process, unsigned attempt) {
    return leaf + '.' + std::to_string(process) + '-' + std::to_string(attempt) + ".tmp";
}

namespace {

struct CFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
typedef std::unique_ptr<std::FILE, CFileCloser> CFilePtr;

}  // namespace

bool SameBytes(const char* a, const char* b) {
    CFilePtr first(std::fopen(a, "rb"));
    CFilePtr second(std::fopen(b, "rb"));
    if (first == nullptr || second == nullptr) return false;
    static const size_t BLOCK = 64 * 1024;
    std::unique_ptr<char[]> one(new char[BLOCK]);
    std::unique_ptr<char[]> other(new char[BLOCK]);
    for (;;) {
        const size_t got = std::fread(one.get(), 1, BLOCK, first.get());
        if (std::fread(other.get(), 1, BLOCK, second.get()) != got) return false;
        if (std::memcmp(one.get(), other.get(), got) != 0) return false;
        if (got < BLOCK) return std::ferror(first.get()) == 0 && std::ferror(second.get()) == 0;
    }
}

bool CloseNewFile(std::FILE* stream, unsigned long& error) {
    ClearSystemError();
    bool written = std::fflush(stream) == 0 && std::ferror(stream) == 0;
    if (!written) error = LastSystemError();
    if (std::fclose(stream) != 0 && written) {
        written = false;
        error = LastSystemError();
    }
    return written;
}
