// The include reader on any file contents, served from memory. Each input is read three times:
// straight through, closing and reopening the file after every include found, and doing so after
// some of them only, as the scan does when an include opens another file. All reads must yield
// the names that the reference reader (tests/support/reference_reader.h), which follows the
// rules step by step, finds in the same bytes; each must read every byte of the file once (a
// reopen reads nothing again), keep at most one handle open, close what it opens and seek only
// inside the file.
//
// The first three bytes choose the reading conditions, the rest is the file:
//   byte 0, bit 0: scan angle includes too (/S); '1' sets it, '0' does not
//   byte 0, bits 1 to 7: after which includes the third read closes and reopens, the pattern
//           repeating every seven includes
//   byte 1 modulo 64: the most bytes one read of the file delivers, so that buffer refills fall
//           anywhere, between a CR and its LF too; 0 ('@') delivers as many as asked for, 1 ('A')
//           one byte a read
//   byte 1, bit 6: the file tells no size (as a pipe), so that only a read of nothing ends it
//   byte 2 modulo 16: the largest file read whole, 2048 bytes and as many times 512 more, so
//           that larger files are read through a window whose ends fall anywhere
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "reference_reader.h"
#include "scan/source_file.h"

namespace {

const char FILE_NAME[] = "C:\\fuzz\\input.c";

CMemoryPlatform* g_pFiles = nullptr;
std::string g_strContent;
size_t g_nCap = CTextFile::LEAST_CAP;

// Reads every include name; after the i-th, closes and reopens when bit i % 7 of `reopenPattern`
// is set.
std::vector<std::string> ReadIncludes(int scanSystem, unsigned reopenPattern) {
    std::vector<std::string> names;
    g_pFiles->bytesRead.clear();
    CSourceFile reader(g_nCap);
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
            FUZZ_CHECK(!reader.IsOpen() && g_pFiles->openFiles == 0);
            FUZZ_CHECK(reader.m_nSavedPos >= 0 &&
                       static_cast<uint64_t>(reader.m_nSavedPos) <= g_strContent.size());
            FUZZ_CHECK(reader.Reopen() == 1);
        }
    }
    FUZZ_CHECK(static_cast<size_t>(g_pFiles->bytesRead[FILE_NAME]) == g_strContent.size());
    FUZZ_CHECK(g_pFiles->mostOpenFiles <= 1 && g_pFiles->badSeeks == 0);
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
    static CMemoryPlatform platform;
    g_pFiles = &platform;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const int scanSystem = data[0] & 1;
    g_pFiles->chunk = data[1] % 64;
    g_pFiles->toldSize = (data[1] & 64) == 0 ? CMemoryPlatform::TRUE_SIZE : -1;
    g_nCap = CTextFile::LEAST_CAP + (data[2] % 16) * 512;
    g_strContent.assign(reinterpret_cast<const char*>(data) + 3, size - 3);
    g_pFiles->Write(FILE_NAME, g_strContent);

    const std::vector<std::string> straight = ReadIncludes(scanSystem, 0);
    FUZZ_CHECK(g_pFiles->openFiles == 0);
    FUZZ_CHECK(straight == CReferenceReader::Includes(g_strContent, scanSystem != 0));
    FUZZ_CHECK(ReadIncludes(scanSystem, 0x7f) == straight);
    FUZZ_CHECK(g_pFiles->openFiles == 0);
    FUZZ_CHECK(ReadIncludes(scanSystem, data[0] >> 1) == straight);
    FUZZ_CHECK(g_pFiles->openFiles == 0);

    CheckStripComments(g_strContent);
    return 0;
}
