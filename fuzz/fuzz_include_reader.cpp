// The include reader on any file contents, served from memory. Each input is read three times:
// straight through, closing and reopening the file after every include found, and doing so after
// some of them only, as the scan does when an include opens another file. All reads must yield
// the same names, and each must read every byte of the file once: a reopen reads nothing again.
//
// The first two bytes choose the reading conditions, the rest is the file:
//   byte 0, bit 0: scan angle includes too (/S); '1' sets it, '0' does not
//   byte 0, bits 1 to 7: after which includes the third read closes and reopens, the pattern
//           repeating every seven includes
//   byte 1 modulo 64: the most bytes one read of the file delivers, so that buffer refills fall
//           anywhere, between a CR and its LF too; 0 ('@') delivers as many as asked for, 1 ('A')
//           one byte a read
//   byte 1, bit 6: the file tells no size (as a pipe), so that only a read of nothing ends it
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "scan/source_file.h"

namespace {

const char FILE_NAME[] = "c:\\fuzz\\input.c";

// Serves one file from memory; every other name does not exist. Checks that the reader keeps at
// most one handle open, closes what it opens and seeks only inside the file.
class CMemoryFilePlatform : public CEmptyPlatform {
public:
    FileHandle OpenFile(const char* name, OpenScope, CFileFacts& facts) override {
        if (std::strcmp(name, FILE_NAME) != 0) return INVALID_FILE_HANDLE;
        FUZZ_CHECK(!m_bOpen);
        m_bOpen = true;
        m_nPosition = 0;
        facts = CFileFacts();
        if (m_bSizeKnown) facts.size = static_cast<int64_t>(m_content.size());
        return this;
    }
    long ReadFile(FileHandle file, char* buffer, size_t size, unsigned long&) override {
        FUZZ_CHECK(file == this && m_bOpen);
        size_t count = m_content.size() - m_nPosition;
        if (count > size) count = size;
        if (m_nChunk != 0 && count > m_nChunk) count = m_nChunk;
        std::memcpy(buffer, m_content.data() + m_nPosition, count);
        m_nPosition += count;
        m_nBytesRead += count;
        return static_cast<long>(count);
    }
    bool SeekFile(FileHandle file, int64_t position, unsigned long&) override {
        FUZZ_CHECK(file == this && m_bOpen);
        FUZZ_CHECK(position >= 0 && static_cast<uint64_t>(position) <= m_content.size());
        m_nPosition = static_cast<size_t>(position);
        return true;
    }
    void CloseFile(FileHandle file) override {
        FUZZ_CHECK(file == this && m_bOpen);
        m_bOpen = false;
    }

    std::string m_content;
    size_t m_nChunk = 0;
    bool m_bSizeKnown = true;
    size_t m_nPosition = 0;
    bool m_bOpen = false;
    size_t m_nBytesRead = 0;
};

CMemoryFilePlatform* g_pFiles = nullptr;

// Reads every include name; after the i-th, closes and reopens when bit i % 7 of `reopenPattern`
// is set.
std::vector<std::string> ReadIncludes(int scanSystem, unsigned reopenPattern) {
    std::vector<std::string> names;
    g_pFiles->m_nBytesRead = 0;
    CSourceFile reader;
    FUZZ_CHECK(reader.Open(FILE_NAME, scanSystem) == 1);
    std::string name;
    while (reader.ReadInclude(name)) {
        // What the scan relies on: a delimiter, then a name that holds no line end and no zero.
        FUZZ_CHECK(!name.empty());
        FUZZ_CHECK(name[0] == '"' || (name[0] == '<' && scanSystem));
        FUZZ_CHECK(name.find_first_of(std::string("\n\0", 2)) == std::string::npos);
        FUZZ_CHECK(name.find(name[0] == '"' ? '"' : '>', 1) == std::string::npos);
        names.push_back(name);
        if ((reopenPattern >> ((names.size() - 1) % 7) & 1) != 0) {
            reader.Close();
            FUZZ_CHECK(!reader.IsOpen() && !g_pFiles->m_bOpen);
            FUZZ_CHECK(reader.m_nSavedPos >= 0 &&
                       static_cast<uint64_t>(reader.m_nSavedPos) <= g_pFiles->m_content.size());
            FUZZ_CHECK(reader.Reopen() == 1);
        }
    }
    FUZZ_CHECK(g_pFiles->m_nBytesRead == g_pFiles->m_content.size());
    return names;
}

// StripComments on its own, line by line: it only blanks characters or ends the line early.
void CheckStripComments(const std::string& content) {
    CSourceFile reader;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        end = end == std::string::npos ? content.size() : end + 1;
        std::vector<char> line(content.begin() + static_cast<std::ptrdiff_t>(start),
                               content.begin() + static_cast<std::ptrdiff_t>(end));
        line.push_back('\0');
        const std::vector<char> before = line;
        reader.StripComments(line.data());
        FUZZ_CHECK(reader.m_bInComment == 0 || reader.m_bInComment == 1);
        const size_t length = std::strlen(before.data());
        const size_t kept = std::strlen(line.data());
        FUZZ_CHECK(kept <= length);
        for (size_t i = 0; i < kept; ++i)
            FUZZ_CHECK(line[i] == before[i] || line[i] == ' ');
        start = end;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static CMemoryFilePlatform platform;
    g_pFiles = &platform;
    SetPlatform(&platform);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int scanSystem = data[0] & 1;
    g_pFiles->m_nChunk = data[1] % 64;
    g_pFiles->m_bSizeKnown = (data[1] & 64) == 0;
    g_pFiles->m_content.assign(reinterpret_cast<const char*>(data) + 2, size - 2);

    const std::vector<std::string> straight = ReadIncludes(scanSystem, 0);
    FUZZ_CHECK(!g_pFiles->m_bOpen);
    FUZZ_CHECK(ReadIncludes(scanSystem, 0x7f) == straight);
    FUZZ_CHECK(!g_pFiles->m_bOpen);
    FUZZ_CHECK(ReadIncludes(scanSystem, data[0] >> 1) == straight);
    FUZZ_CHECK(!g_pFiles->m_bOpen);

    CheckStripComments(g_pFiles->m_content);
    return 0;
}
