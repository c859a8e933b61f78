// Micro-benchmarks of the paths the scan takes for every line and every include: reading and
// stripping lines, the search of an include along a directory list and the directory-cache probes
// under it, the normal form of a path and lower-casing.
//
// Run: build/bench-release/bench/hot_paths_bench [--benchmark_filter=REGEX]
// The fixture (a directory of 500 headers and one large source file) is made once in the
// system's temporary directory and removed at the end.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "scan/source_file.h"
#include "targets/file_search.h"

namespace fs = std::filesystem;

namespace {

const int HEADER_COUNT = 500;

// The scratch tree: <tmp>/incwalk32-hot-paths/{Headers/Header_N.H, big.cpp}.
class CFixture {
public:
    CFixture() {
        InitializeProcess();
        m_root = fs::temp_directory_path() / "incwalk32-hot-paths";
        fs::remove_all(m_root);
        fs::create_directories(m_root / "Headers");
        fs::create_directories(m_root / "inc1");
        fs::create_directories(m_root / "inc2");
        for (int i = 0; i < HEADER_COUNT; ++i)
            std::ofstream(m_root / "Headers" / ("Header_" + std::to_string(i) + ".H")) << "\n";
        WriteBigSource();
    }
    ~CFixture() {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    std::string Path(const std::string& relative) const { return (m_root / relative).string(); }
    long m_nBigSize = 0;
    int m_nBigIncludes = 0;

private:
    // About 2 MB of code: includes of both forms, line and block comments (some hiding include
    // lines), string and character literals that hold comment markers.
    void WriteBigSource() {
        std::string text;
        for (int i = 0; i < 20000; ++i) {
            switch (i % 10) {
                case 0:
                    text += "#include \"lib" + std::to_string(i % 97) + "/header_" +
                            std::to_string(i) + ".h\"  // the handle type\n";
                    ++m_nBigIncludes;
                    break;
                case 1:
                    text += "#include <sys" + std::to_string(i % 13) + "/types_" +
                            std::to_string(i) + ".h>\n";
                    ++m_nBigIncludes;
                    break;
                case 2:
                    text += "/* Disabled:\n#include \"old_" + std::to_string(i) + ".h\"\n */\n";
                    break;
                case 3:
                    text += "static const char k_url_" + std::to_string(i) +
                            "[] = \"http://example.org/*not*/a//comment\";\n";
                    break;
                case 4:
                    text += "#define QUOTE_" + std::to_string(i) + " '\"'  /* a quote */\n";
                    break;
                default:
                    text += "int compute_" + std::to_string(i) +
                            "(int value, const char* label);  // returns -1 on error\n";
                    break;
            }
        }
        std::ofstream(m_root / "big.cpp", std::ios::binary) << text;
        m_nBigSize = static_cast<long>(text.size());
    }

    fs::path m_root;
};

CFixture& Fixture() {
    static CFixture fixture;
    return fixture;
}

void BM_ReadInclude(benchmark::State& state) {
    const std::string path = Fixture().Path("big.cpp");
    std::string name;
    for (auto _ : state) {
        CSourceFile file;
        if (!file.Open(path.c_str(), 1)) {
            state.SkipWithError("cannot open big.cpp");
            return;
        }
        int count = 0;
        while (file.ReadInclude(name))
            ++count;
        file.Close();
        if (count != Fixture().m_nBigIncludes) {
            state.SkipWithError("wrong include count");
            return;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(state.iterations() * Fixture().m_nBigSize);
}
BENCHMARK(BM_ReadInclude)->Unit(benchmark::kMillisecond);

void BM_StripComments(benchmark::State& state) {
    static const char LINE[] =
        "    int x = f(\"a /* b */ c\", '\\'');  /* trailing */ int y; // the rest\n";
    char buffer[sizeof(LINE)];
    CSourceFile file;
    for (auto _ : state) {
        std::memcpy(buffer, LINE, sizeof(LINE));
        file.StripComments(buffer);
        benchmark::DoNotOptimize(buffer);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sizeof(LINE) - 1));
}
BENCHMARK(BM_StripComments);

// The search of an include along a list of three directories, as the scan makes it for a name
// the /I path holds (in its last directory) and for one it does not.
void BM_SearchAlongListHit(benchmark::State& state) {
    const std::string list =
        Fixture().Path("inc1") + ";" + Fixture().Path("inc2") + ";" + Fixture().Path("Headers");
    CFileSearch search;
    std::string match;
    for (auto _ : state) {
        if (!search.FindFirst("header_250.h", list, SEARCH_LIST_ONLY)) {
            state.SkipWithError("header_250.h not found");
            return;
        }
        search.FindNext(match);
        benchmark::DoNotOptimize(match.data());
    }
}
BENCHMARK(BM_SearchAlongListHit);

void BM_SearchAlongListMiss(benchmark::State& state) {
    const std::string list =
        Fixture().Path("inc1") + ";" + Fixture().Path("inc2") + ";" + Fixture().Path("Headers");
    CFileSearch search;
    for (auto _ : state) {
        if (search.FindFirst("no_such_header.h", list, SEARCH_LIST_ONLY)) {
            state.SkipWithError("found what does not exist");
            return;
        }
    }
}
BENCHMARK(BM_SearchAlongListMiss);

// A probe in a directory already read: the name is written in another case than on disk.
void BM_FindFirstFileHit(benchmark::State& state) {
    const std::string pattern = Fixture().Path("headers/header_250.h");
    CFindData data;
    for (auto _ : state) {
        FindHandle handle = Platform().FindFirstFile(pattern.c_str(), data);
        if (handle == INVALID_FIND_HANDLE) {
            state.SkipWithError("header_250.h not found");
            return;
        }
        Platform().FindClose(handle);
    }
}
BENCHMARK(BM_FindFirstFileHit);

void BM_FindFirstFileMiss(benchmark::State& state) {
    const std::string pattern = Fixture().Path("headers/no_such_header.h");
    CFindData data;
    for (auto _ : state) {
        FindHandle handle = Platform().FindFirstFile(pattern.c_str(), data);
        if (handle != INVALID_FIND_HANDLE) {
            Platform().FindClose(handle);
            state.SkipWithError("found what does not exist");
            return;
        }
    }
}
BENCHMARK(BM_FindFirstFileMiss);

// The path the search hands to ScanFile: a directory joined with a relative include name.
void BM_MakeNormalForm(benchmark::State& state) {
    const std::string name = "C:\\Work\\Proj\\Src\\Net\\..\\..\\Inc2\\NetCore\\Buffer_12.H";
    std::string out;
    for (auto _ : state) {
        MakeNormalForm(name, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_MakeNormalForm);

void BM_MakeNormalFormRelative(benchmark::State& state) {
    const std::string name = "..\\inc2\\netcore\\buffer_12.h";
    std::string out;
    for (auto _ : state) {
        MakeNormalForm(name, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_MakeNormalFormRelative);

void BM_LowerCase(benchmark::State& state) {
    const std::string original = "C:\\Work\\Proj\\Inc2\\NetCore\\Detail\\Buffer_Stream_12.H";
    std::string text;
    for (auto _ : state) {
        text = original;
        Platform().LowerCase(text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(original.size()));
}
BENCHMARK(BM_LowerCase);

}  // namespace

BENCHMARK_MAIN();
