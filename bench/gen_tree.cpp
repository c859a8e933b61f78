// gen_tree: writes a synthetic C/C++ source tree for the benchmark, the same bytes for the same
// file count and seed.
//
//   gen_tree [--seed S] [--subset K] [--large-files] FILES OUTDIR
//
// The tree is shaped like a large code base:
//   src/<module>/       sources (.c or .cpp, 5 to 40 includes each) and the module's own headers
//   inc0..inc3/<lib>/   libraries found through the /I directories, included as "lib/name.h"
//                       (now and then as <lib/name.h>)
//   sys0, sys1/<lib>/   libraries found through INCLUDE, included as <lib/name.h>
// Each library is a layered graph 10 to 20 layers deep: a header includes one or two headers of
// the next layers, the shared base headers and the bottom of older libraries, so include chains
// from a source run 10 to 30 deep and the popular headers are shared by many sources. Headers have
// include guards; a few include an upper layer back (recursive includes), a few includes name
// files that do not exist, and some include lines hide inside comments. Names on disk are partly
// in mixed or upper case while include lines spell them otherwise.
//
// With --large-files the files have the sizes of real code: most are a few KiB, a tenth are over
// 16 KiB and some over 100 KiB, and the include lines stand all through a file, between its
// declarations, not only at its top.
//
// Beside the tree it writes what the benchmark runs:
//   incwalk32.rsp     options and one wildcard target per module and extension
//   include.env       the value of INCLUDE (absolute paths)
//   subset.rsp        the same options with the sources of subset.txt named one by one
//   peer.flags        -I options for gcc and makedepend, one per line
//   sources.txt       every source; subset.txt: every K-th one (the gcc -MM job)
//   files.txt         every file of the tree
//   stats.txt         counts, reach and depth of the include graph
//   case-alias/       symbolic links named as the include lines spell them: gcc and makedepend
//                     match names case-sensitively, so they find the mixed-case files there
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// splitmix64: small, fast, and the same sequence on every platform and library.
class CRandom {
public:
    explicit CRandom(uint64_t seed) : m_state(seed) {}
    uint64_t Next() {
        uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<uint64_t>(n)); }
    // Uniform in [lo, hi].
    int Range(int lo, int hi) { return lo + Below(hi - lo + 1); }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
    bool Chance(double p) { return Unit() < p; }
    // Skewed towards 0: small values are much more likely.
    int Skewed(int n) { return std::min(n - 1, static_cast<int>(n * Unit() * Unit())); }

private:
    uint64_t m_state;
};

const char* const WORDS[] = {
    "net",   "gfx",   "io",    "util",  "db",    "ui",    "math",  "text",  "xml",   "crypto",
    "audio", "sched", "mem",   "log",   "cfg",   "rpc",   "fs",    "time",  "img",   "zip",
    "json",  "http",  "font",  "mesh",  "phys",  "input", "plug",  "event", "cache", "store",
    "query", "index", "token", "parse", "codec", "shade", "scene", "asset", "sound", "frame"};
const int WORD_COUNT = sizeof(WORDS) / sizeof(WORDS[0]);

const char* const PARTS[] = {"buffer", "stream", "types",  "config", "error",  "handle",
                             "table",  "list",   "string", "alloc",  "thread", "lock",
                             "queue",  "map",    "node",   "iter",   "format", "detail",
                             "impl",   "traits", "base",   "view",   "range",  "state"};
const int PART_COUNT = sizeof(PARTS) / sizeof(PARTS[0]);

const char* const STD_HEADERS[] = {"stdio.h", "stdlib.h", "string.h", "vector",
                                   "string",  "map",      "memory",   "windows.h"};

enum Kind { SOURCE, PRIVATE, LIBRARY };

struct CInclude {
    int target;        // index of the file, or -1 for a file that exists nowhere
    std::string text;  // the name as the line spells it
    bool angle;
};

struct CFile {
    Kind kind;
    std::string path;    // relative to the tree, as stored on disk, '/' separators
    std::string spell;   // how include lines name it, lower case ("lib/name.h", "mod_cfg.h")
    std::string disk;    // the same name as stored on disk
    bool angle = false;  // a library under an INCLUDE directory: named with <...>
    int library = -1;
    int layer = 0;
    std::vector<CInclude> includes;
};

struct CLibrary {
    std::vector<std::vector<int>> layers;  // file indexes, layer 0 on top
};

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Capitalises the first letter and every letter after '_'.
std::string Camel(std::string s) {
    bool start = true;
    for (char& c : s) {
        if (start && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        start = c == '_';
    }
    return s;
}

// The name as stored on disk: mostly as written, sometimes in camel or upper case.
std::string DiskCase(CRandom& rng, const std::string& name, double mixed) {
    if (!rng.Chance(mixed)) return name;
    return rng.Chance(0.25) ? Upper(name) : Camel(name);
}

class CGenerator {
public:
    CGenerator(int files, uint64_t seed, int subset, bool largeFiles)
        : m_rng(seed),
          m_nTarget(files),
          m_nSeed(seed),
          m_nSubset(subset),
          m_bLargeFiles(largeFiles) {}
    void Build();
    void Write(const fs::path& out);

private:
    int AddHeader(Kind kind, const std::string& dirDisk, const std::string& spellDir,
                  const std::string& name, bool angle);
    void BuildBase();
    void BuildLibrary(int index);
    void BuildModule(int index);
    int PickLibraryHeader(int library, bool nearTop);
    void Include(CFile& from, int target, bool preferAngle = false);
    void IncludeMissing(CFile& from, const std::string& name, bool angle);
    std::string Spelling(const CFile& target);
    std::string Text(int index);
    void WriteStats(const fs::path& out);

    CRandom m_rng;
    int m_nTarget;
    uint64_t m_nSeed;
    int m_nSubset;
    bool m_bLargeFiles;
    std::vector<CFile> m_files;
    std::vector<CLibrary> m_libraries;
    std::vector<int> m_base;
    std::vector<int> m_sources;
    std::vector<std::string> m_targets;  // wildcard targets, one per module and extension
    std::set<std::string> m_usedNames;
};

int CGenerator::AddHeader(Kind kind, const std::string& dirDisk, const std::string& spellDir,
                          const std::string& name, bool angle) {
    CFile file;
    file.kind = kind;
    const std::string disk = DiskCase(m_rng, name, 0.25);
    file.path = dirDisk + "/" + disk;
    file.spell = spellDir.empty() ? name : spellDir + "/" + name;
    const size_t slash = dirDisk.rfind('/');
    const std::string diskDir = dirDisk.substr(slash + 1);
    file.disk = spellDir.empty() ? disk : diskDir + "/" + disk;
    file.angle = angle;
    m_files.push_back(file);
    return static_cast<int>(m_files.size()) - 1;
}

// Include lines mostly spell a name in lower case, sometimes as stored, sometimes upper case.
std::string CGenerator::Spelling(const CFile& target) {
    const int r = m_rng.Below(100);
    if (r < 12) return target.disk;
    if (r < 20) return Upper(target.spell);
    return target.spell;
}

void CGenerator::Include(CFile& from, int target, bool preferAngle) {
    for (const CInclude& inc : from.includes)
        if (inc.target == target) return;
    const CFile& to = m_files[target];
    const bool angle = to.angle || (to.kind == LIBRARY && preferAngle);
    from.includes.push_back(CInclude{target, Spelling(to), angle});
}

void CGenerator::IncludeMissing(CFile& from, const std::string& name, bool angle) {
    from.includes.push_back(CInclude{-1, name, angle});
}

void CGenerator::BuildBase() {
    // The base library: shallow, and included from everywhere.
    for (int i = 0; i < 16; ++i) {
        const std::string name = std::string(PARTS[i]) + ".h";
        m_base.push_back(AddHeader(LIBRARY, "inc0/base", "base", name, false));
    }
    for (int i = 0; i < 16; ++i) {
        m_files[m_base[i]].layer = i / 4;
        for (int j = i + 1; j < 16; ++j)
            if (j / 4 > i / 4 && m_rng.Chance(0.15)) Include(m_files[m_base[i]], m_base[j]);
    }
}

int CGenerator::PickLibraryHeader(int library, bool nearTop) {
    const CLibrary& lib = m_libraries[library];
    const int depth = static_cast<int>(lib.layers.size());
    const int layer = nearTop ? 0 : m_rng.Skewed(depth);
    const std::vector<int>& row = lib.layers[layer];
    return row[m_rng.Below(static_cast<int>(row.size()))];
}

void CGenerator::BuildLibrary(int index) {
    static const char* const ROOTS[] = {"inc0", "inc1", "inc2", "inc3",
                                        "inc1", "inc2", "sys0", "sys1"};
    const std::string root = ROOTS[m_rng.Below(8)];
    const bool system = root[0] == 's';
    const std::string name = std::string(WORDS[index % WORD_COUNT]) + std::to_string(index);
    const std::string dirDisk = root + "/" + DiskCase(m_rng, name, 0.2);

    CLibrary lib;
    const int depth = m_rng.Range(10, 20);
    int serial = 0;
    lib.layers.resize(depth);
    for (int layer = 0; layer < depth; ++layer) {
        const int width = m_rng.Range(1, 2);
        for (int k = 0; k < width; ++k) {
            const char* ext = m_rng.Chance(0.2) ? ".hpp" : ".h";
            const std::string file =
                std::string(PARTS[m_rng.Below(PART_COUNT)]) + "_" + std::to_string(serial++) + ext;
            const int h = AddHeader(LIBRARY, dirDisk, name, file, system);
            m_files[h].library = index;
            m_files[h].layer = layer;
            lib.layers[layer].push_back(h);
        }
    }
    m_libraries.push_back(lib);

    const CLibrary& built = m_libraries.back();
    for (int layer = 0; layer < depth; ++layer) {
        for (int h : built.layers[layer]) {
            CFile& f = m_files[h];
            if (layer + 1 < depth) {
                const auto& next = built.layers[layer + 1];
                Include(f, next[m_rng.Below(static_cast<int>(next.size()))], m_rng.Chance(0.15));
                if (m_rng.Chance(0.25)) {
                    const int to = std::min(depth - 1, layer + m_rng.Range(1, 3));
                    const auto& row = built.layers[to];
                    Include(f, row[m_rng.Below(static_cast<int>(row.size()))], m_rng.Chance(0.15));
                }
            }
            if (m_rng.Chance(0.4)) Include(f, m_base[m_rng.Below(16)]);
            if (index > 0 && layer + 1 < depth && m_rng.Chance(0.15)) {
                // The bottom layer of an older library, which itself reaches only the base: keeps
                // the graph acyclic across libraries and the chains at most about 30 deep.
                const CLibrary& older = m_libraries[m_rng.Skewed(index)];
                const auto& row = older.layers.back();
                Include(f, row[m_rng.Below(static_cast<int>(row.size()))]);
            }
            if (layer > 0 && m_rng.Chance(0.01)) {
                // A recursive include, harmless behind the include guard.
                const auto& up = built.layers[layer - 1];
                Include(f, up[m_rng.Below(static_cast<int>(up.size()))]);
            }
            if (m_rng.Chance(0.002))
                IncludeMissing(f, name + "/config_" + std::to_string(h) + ".h", system);
        }
        // Every header of the next layer has an includer in this one.
        if (layer + 1 < depth) {
            for (int n : built.layers[layer + 1]) {
                bool reached = false;
                for (int h : built.layers[layer])
                    for (const CInclude& inc : m_files[h].includes)
                        reached = reached || inc.target == n;
                if (!reached) {
                    const auto& row = built.layers[layer];
                    Include(m_files[row[m_rng.Below(static_cast<int>(row.size()))]], n);
                }
            }
        }
    }
}

void CGenerator::BuildModule(int index) {
    const std::string name =
        std::string(WORDS[(index * 7) % WORD_COUNT]) + "_" + std::to_string(index);
    const std::string dirDisk = "src/" + DiskCase(m_rng, name, 0.2);
    const int libraryCount = static_cast<int>(m_libraries.size());

    std::vector<int> deps;
    const int depCount = m_rng.Range(2, 5);
    // Libraries near the module in age, plus a popular old one.
    const int centre = m_rng.Below(libraryCount);
    for (int i = 0; i < depCount; ++i) {
        int lib = i == 0 ? m_rng.Skewed(libraryCount)
                         : std::clamp(centre + m_rng.Range(-8, 8), 0, libraryCount - 1);
        if (std::find(deps.begin(), deps.end(), lib) == deps.end()) deps.push_back(lib);
    }

    std::vector<int> privates;
    const int privateCount = m_rng.Range(2, 7);
    for (int i = 0; i < privateCount; ++i) {
        const std::string file =
            name + "_" + PARTS[m_rng.Below(PART_COUNT)] + std::to_string(i) + ".h";
        const int h = AddHeader(PRIVATE, dirDisk, "", file, false);
        privates.push_back(h);
        CFile& f = m_files[h];
        const int n = m_rng.Range(2, 6);
        for (int k = 0; k < n; ++k)
            Include(f, PickLibraryHeader(deps[m_rng.Below(static_cast<int>(deps.size()))], false),
                    m_rng.Chance(0.15));
        if (m_rng.Chance(0.5)) Include(f, m_base[m_rng.Below(16)]);
    }

    const bool cpp = m_rng.Chance(0.6);
    bool hasC = false;
    bool hasCpp = false;
    const int sourceCount = m_rng.Range(15, 60);
    for (int i = 0; i < sourceCount; ++i) {
        const bool thisCpp = m_rng.Chance(0.95) ? cpp : !cpp;
        (thisCpp ? hasCpp : hasC) = true;
        const std::string stem =
            std::string(PARTS[m_rng.Below(PART_COUNT)]) + "_" + std::to_string(i);
        CFile f;
        f.kind = SOURCE;
        f.path = dirDisk + "/" + DiskCase(m_rng, stem, 0.2) + (thisCpp ? ".cpp" : ".c");

        const int want = 5 + m_rng.Skewed(36);  // 5 to 40 include lines
        const int own = std::min(privateCount, m_rng.Range(1, 3));
        for (int k = 0; k < own; ++k)
            Include(f, privates[m_rng.Below(privateCount)]);
        Include(f, m_base[m_rng.Below(4)]);
        Include(f, PickLibraryHeader(deps[0], true), m_rng.Chance(0.15));
        if (m_rng.Chance(0.3)) IncludeMissing(f, STD_HEADERS[m_rng.Below(8)], true);
        if (m_rng.Chance(0.02)) IncludeMissing(f, "config_local.h", false);
        while (static_cast<int>(f.includes.size()) < want) {
            const int r = m_rng.Below(100);
            if (r < 8)
                Include(f, m_base[m_rng.Below(16)]);
            else if (r < 16)
                Include(f, PickLibraryHeader(m_rng.Skewed(libraryCount), false));
            else
                Include(f,
                        PickLibraryHeader(deps[m_rng.Below(static_cast<int>(deps.size()))], false),
                        m_rng.Chance(0.15));
        }
        m_sources.push_back(static_cast<int>(m_files.size()));
        m_files.push_back(f);
    }
    // Targets name the module directory in lower case: the listing finds it all the same.
    if (hasC) m_targets.push_back("src\\" + name + "\\*.c");
    if (hasCpp) m_targets.push_back("src\\" + name + "\\*.cpp");
}

void CGenerator::Build() {
    BuildBase();
    // About 45 % of the files are library headers, 22 in a library on average.
    const int libraries = std::max(4, static_cast<int>(m_nTarget * 0.45 / 22.5));
    for (int i = 0; i < libraries; ++i)
        BuildLibrary(i);
    for (int m = 0; static_cast<int>(m_files.size()) < m_nTarget; ++m)
        BuildModule(m);
    // Every top-layer header is included by some source.
    std::vector<bool> included(m_files.size(), false);
    for (const CFile& f : m_files)
        for (const CInclude& inc : f.includes)
            if (inc.target >= 0) included[inc.target] = true;
    for (size_t i = 0; i < m_files.size(); ++i)
        if (!included[i] && m_files[i].kind != SOURCE)
            Include(m_files[m_sources[m_rng.Below(static_cast<int>(m_sources.size()))]],
                    static_cast<int>(i));
}

// Filler that gives files a realistic size and traps for a naive comment stripper.
void AppendCode(CRandom& rng, std::string& text, int lines, int id) {
    for (int i = 0; i < lines;) {
        const int n = rng.Below(10);
        const std::string tag = std::to_string(id) + "_" + std::to_string(i);
        if (n < 3) {
            text += "struct record_" + tag + " {\n    int count;\n    const char* name;\n};\n";
            i += 4;
        } else if (n < 5) {
            text +=
                "int compute_" + tag + "(int value, const char* label);  // returns -1 on error\n";
            i += 1;
        } else if (n < 6) {
            text += "static const char k_url_" + tag +
                    "[] = \"http://example.org/*not*/a//comment\";\n";
            i += 1;
        } else if (n < 7) {
            text += "#define QUOTE_" + tag + " '\"'  /* a quote in a character literal */\n";
            i += 1;
        } else if (n < 8) {
            text += "/* The value below isn't checked here; callers do it.\n   See the notes. */\n";
            i += 2;
        } else {
            text += "#define LIMIT_" + tag + " (" + std::to_string(rng.Below(100000)) + " * 2)\n";
            i += 1;
        }
    }
}

// Lines of code for a file of the large-files tree, about 40 bytes each: more than half of the
// files under 4 KiB, a tenth over 16 KiB, one or two in a hundred over 100 KiB.
int LargeFileLines(CRandom& rng) {
    const double u = rng.Unit();
    if (u < 0.60) return rng.Range(20, 100);
    if (u < 0.88) return rng.Range(100, 400);
    if (u < 0.985) return rng.Range(400, 2500);
    return rng.Range(2500, 10000);
}

std::string CGenerator::Text(int index) {
    const CFile& f = m_files[index];
    CRandom rng(m_nSeed * 1000003ULL + static_cast<uint64_t>(index));
    std::string text;
    text += "/*\n * " + f.path + "\n *\n * Generated for the incwalk32 benchmark, seed " +
            std::to_string(m_nSeed) +
            ". Keep the includes sorted;\n * don't add new ones here.\n */\n";
    const std::string guard = "GUARD_" + std::to_string(index) + "_H";
    if (f.kind != SOURCE) text += "#ifndef " + guard + "\n#define " + guard + "\n";
    text += "\n";
    // Large files: the lines of code around and between the include lines, about 40 bytes each.
    const int codeLines = m_bLargeFiles ? LargeFileLines(rng) : 0;
    int written = 0;
    for (size_t i = 0; i < f.includes.size(); ++i) {
        if (m_bLargeFiles && i > 0) {
            const int share = codeLines * static_cast<int>(i) / static_cast<int>(f.includes.size());
            AppendCode(rng, text, share - written, index * 64 + static_cast<int>(i));
            written = share;
        }
        const CInclude& inc = f.includes[i];
        const char open = inc.angle ? '<' : '"';
        const char close = inc.angle ? '>' : '"';
        const int style = rng.Below(40);
        if (style == 0)
            text +=
                "/* The old layout:\n#include \"old/" + std::to_string(i) + "_legacy.h\"\n */\n";
        else if (style == 1)
            text += "// #include \"debug_" + std::to_string(index) + ".h\"\n";
        else if (style == 2)
            text += "/* needed for the tables */\n";
        if (style == 3)
            text += "  #include\t";
        else if (style == 4)
            text += "#include";
        else
            text += "#include ";
        text += open + inc.text + close;
        if (style == 5)
            text += "  // for the handle type";
        else if (style == 6)
            text += " /* see below */";
        text += "\n";
    }
    text += "\n";
    if (rng.Chance(0.005)) {
        // One line longer than the scanner's line buffer.
        text += "#define LONG_TABLE_" + std::to_string(index) + " \"";
        text.append(2500, 'x');
        text += "\"\n";
    }
    if (m_bLargeFiles) {
        AppendCode(rng, text, codeLines - written, index * 64 + 63);
    } else {
        AppendCode(rng, text, f.kind == SOURCE ? rng.Range(40, 250) : rng.Range(15, 110), index);
    }
    if (f.kind != SOURCE) text += "\n#endif  // " + guard + "\n";
    if (rng.Chance(0.1)) {
        // Written on Windows: CR LF line ends.
        std::string crlf;
        crlf.reserve(text.size() * 21 / 20);
        for (char c : text) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        text.swap(crlf);
    }
    return text;
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) {
        std::fprintf(stderr, "gen_tree: cannot write %s\n", path.string().c_str());
        std::exit(1);
    }
}

void CGenerator::WriteStats(const fs::path& out) {
    // Reach (distinct files per source) and the longest include chain, recursive edges ignored.
    std::vector<int> longest(m_files.size(), -1);
    std::vector<int> stamp(m_files.size(), -1);
    std::vector<char> onStack(m_files.size(), 0);
    auto depth = [&](auto& self, int f) -> int {
        if (longest[f] >= 0) return longest[f];
        onStack[f] = 1;
        int best = 0;
        for (const CInclude& inc : m_files[f].includes)
            if (inc.target >= 0 && !onStack[inc.target])
                best = std::max(best, 1 + self(self, inc.target));
        onStack[f] = 0;
        return longest[f] = best;
    };
    long long reachSum = 0;
    long long edges = 0;
    int minDepth = 1 << 30, maxDepth = 0;
    long long depthSum = 0;
    std::vector<int> stack;
    for (size_t s = 0; s < m_sources.size(); ++s) {
        const int src = m_sources[s];
        const int d = depth(depth, src);
        minDepth = std::min(minDepth, d);
        maxDepth = std::max(maxDepth, d);
        depthSum += d;
        stack.assign(1, src);
        stamp[src] = static_cast<int>(s);
        while (!stack.empty()) {
            const int f = stack.back();
            stack.pop_back();
            ++reachSum;
            for (const CInclude& inc : m_files[f].includes)
                if (inc.target >= 0 && stamp[inc.target] != static_cast<int>(s)) {
                    stamp[inc.target] = static_cast<int>(s);
                    stack.push_back(inc.target);
                }
        }
    }
    int missing = 0;
    for (const CFile& f : m_files)
        for (const CInclude& inc : f.includes) {
            ++edges;
            missing += inc.target < 0;
        }
    const double n = static_cast<double>(m_sources.size());
    FILE* stats = std::fopen((out / "stats.txt").string().c_str(), "w");
    std::fprintf(stats, "files %zu\nsources %zu\nheaders %zu\nlibraries %zu\ntargets %zu\n",
                 m_files.size(), m_sources.size(), m_files.size() - m_sources.size(),
                 m_libraries.size(), m_targets.size());
    std::fprintf(stats, "include_lines %lld\nmissing_includes %d\n", edges, missing);
    std::fprintf(stats, "files_per_source %.1f\nchain_depth min %d avg %.1f max %d\n", reachSum / n,
                 minDepth, depthSum / n, maxDepth);
    std::fclose(stats);
}

void CGenerator::Write(const fs::path& outArg) {
    const fs::path out = fs::absolute(outArg);
    fs::create_directories(out);
    for (const char* dir : {"src", "inc0", "inc1", "inc2", "inc3", "sys0", "sys1", "case-alias"})
        fs::remove_all(out / dir);

    std::string fileList;
    std::set<std::string> aliases;
    for (size_t i = 0; i < m_files.size(); ++i) {
        const fs::path path = out / m_files[i].path;
        fs::create_directories(path.parent_path());
        WriteFile(path, Text(static_cast<int>(i)));
        fileList += m_files[i].path + "\n";
        for (const CInclude& inc : m_files[i].includes)
            if (inc.target >= 0 && inc.text != m_files[inc.target].disk)
                aliases.insert(inc.text + "\n" + m_files[inc.target].path);
    }
    for (const std::string& alias : aliases) {
        const size_t nl = alias.find('\n');
        const fs::path link = out / "case-alias" / alias.substr(0, nl);
        fs::create_directories(link.parent_path());
        std::string up = "../";  // out of case-alias
        for (char c : alias.substr(0, nl))
            if (c == '/') up += "../";
        fs::create_symlink(up + alias.substr(nl + 1), link);
    }
    WriteFile(out / "files.txt", fileList);

    const std::string options = "/nologo\n/S\n/Ef0\n/Iinc0;inc1\n/Iinc2\n/Iinc3\n";
    std::string rsp = options;
    for (const std::string& t : m_targets)
        rsp += t + "\n";
    WriteFile(out / "incwalk32.rsp", rsp);
    WriteFile(out / "include.env", (out / "sys0").string() + ";" + (out / "sys1").string() + "\n");
    WriteFile(out / "peer.flags", "-Iinc0\n-Iinc1\n-Iinc2\n-Iinc3\n-Isys0\n-Isys1\n-Icase-alias\n");

    std::string sources, subset, subsetRsp = options;
    const int step = std::max(1, static_cast<int>(m_sources.size()) / std::max(1, m_nSubset));
    for (size_t s = 0; s < m_sources.size(); ++s) {
        const std::string& path = m_files[m_sources[s]].path;
        sources += path + "\n";
        if (s % step == 0 && static_cast<int>(s / step) < m_nSubset) {
            subset += path + "\n";
            std::string target = path;
            std::replace(target.begin(), target.end(), '/', '\\');
            subsetRsp += target + "\n";
        }
    }
    WriteFile(out / "sources.txt", sources);
    WriteFile(out / "subset.txt", subset);
    WriteFile(out / "subset.rsp", subsetRsp);
    WriteStats(out);
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t seed = 1;
    int subset = 200;
    bool largeFiles = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seed" && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--subset" && i + 1 < argc)
            subset = std::atoi(argv[++i]);
        else if (a == "--large-files")
            largeFiles = true;
        else
            args.push_back(a);
    }
    if (args.size() != 2 || std::atoi(args[0].c_str()) < 100) {
        std::fprintf(stderr,
                     "usage: gen_tree [--seed S] [--subset K] [--large-files] FILES OUTDIR"
                     "  (FILES >= 100)\n");
        return 2;
    }
    CGenerator generator(std::atoi(args[0].c_str()), seed, subset, largeFiles);
    generator.Build();
    generator.Write(args[1]);
    return 0;
}
