// hostile_trees: builds random trees of odd names, link loops, FIFOs, devices and broken sources,
// and runs incwalk32 on each. Whatever it finds there, the program must end in time, by exit(),
// with one of its exit codes, without flooding its output and without a sanitizer report.
//
//   hostile_trees --program <exe> --sandbox <dir> --seed <n> --runs <n> [--timeout <seconds>]
//                 [--max-failures <n>] [--keep]
//
// Run r builds <sandbox>/run<r> from the seed and r alone, so the seed brings a failure back; a
// failed run's tree is kept. Exit status: 1 if a run failed, 2 on a bad command line.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

namespace {

const size_t kMaxStream = 32u << 20;  // more than this from a tree of 40 entries is an explosion

// Names, include names and lines that have broken programs before. No '/' in the names: every
// entry stays inside its directory.
// clang-format off
const Strings kStems = {"a", "b", "main", "util", "x", "y", "Mixed", "MAIN", "\xc3\x84", "\xc3\xa4",
    "\xc3\x89", "\xff\xfe", "bad\xc3", "$", "$(x)", "say\"hi\"", "*", "?", "<", ">", "|", "c:",
    "back\\slash", "new\nline", "tab\t", "ctl\x01\x1b\x7f", " blank ", "dot.", "-Ifoo", "@rsp"};
const Strings kExtensions = {".c", ".c", ".h", ".h", ".cpp", ".hpp", ".C", ".H", ".c.", ".h ", "",
    ".rc"};
const Strings kOddIncludes = {"\\dev\\zero", "c:\\dev\\null", "/proc/self/status", "/dev/stdin",
    "C:/dev/zero", "zero", "missing.h", "", "\\\\server\\share\\x.h", "d:\\x.h", ".", "..", "inc",
    "c:", "\\"};
const Strings kBrokenLines = {"#include", "#include \"open", "#include <>", "\t #include\"a.h\"",
    "#  include \"a.h\"", "#include x"};
// clang-format on

// splitmix64: the same trees on every standard library.
struct Rng {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
    bool Percent(size_t p) { return Below(100) < p; }
    template <typename T>
    const T& Pick(const std::vector<T>& v) {
        return v[Below(v.size())];
    }
};

struct Entry {
    char kind;         // 'f' file, 'l' symbolic link, 'p' FIFO, 'h' hard link
    std::string path;  // relative to the tree
    std::string target, content;
};

struct Tree {
    fs::path root;
    std::vector<Entry> entries;
    Strings dirs;   // "" is the tree itself
    Strings loops;  // links back to the top of the tree: names through them never run out
    size_t odd;     // percentage of include names that name no entry
};

std::string BaseOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// The way from the directory of `path` back up to the top of the tree.
std::string Up(const std::string& path) {
    std::string up;
    for (char c : path)
        up += c == '/' ? "../" : "";
    return up;
}

// Case flips, backslashes, a leading ".", trailing dots and blanks that a full path drops (or,
// after a directory's name, one dot of): more ways to write one name. As many numbers drawn
// whatever the name, so that the sandbox's own path cannot change the trees of a seed.
std::string Mangle(Rng& rng, std::string s) {
    bool back = rng.Percent(50), dot = rng.Percent(10), umlaut = rng.Percent(50);
    uint64_t flips = rng.Percent(50) ? rng.Next() : 0;
    const size_t trailing = rng.Below(12), dottedDirectory = rng.Below(10);
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '/' && back) s[i] = '\\';
        if (std::isalpha(static_cast<unsigned char>(s[i])) && (flips >> i % 64 & 1)) s[i] ^= 0x20;
    }
    size_t a = s.find("\xc3\xa4");
    if (a != std::string::npos && umlaut) s[a + 1] = '\x84';  // ä written as Ä
    const size_t separator = s.find_first_of("/\\");
    if (dottedDirectory == 0 && separator != std::string::npos && separator > 0)
        s.insert(separator, ".");
    static const char* const kTrailing[] = {".", " ", ". .", "..", " ."};
    if (trailing < 5) s += kTrailing[trailing];
    return dot ? (back ? ".\\" : "./") + s : s;
}

// A name for an entry as written in `from` (a path in the tree, "" on the command line).
std::string Spelling(Rng& rng, const Tree& tree, const std::string& from) {
    if (rng.Percent(tree.odd)) return rng.Pick(kOddIncludes);
    const std::string& path = rng.Percent(25) ? from : rng.Pick(tree.entries).path;
    std::string through = Up(from);
    for (size_t i = 1 + rng.Below(2); i > 0; --i) {
        bool loop = !tree.loops.empty() && rng.Percent(70);  // else through a file, a FIFO...
        through += (loop ? rng.Pick(tree.loops) : rng.Pick(tree.entries).path) + "/";
    }
    size_t how = rng.Below(6);
    return Mangle(rng, how == 0   ? BaseOf(path)
                       : how == 1 ? path
                       : how == 2 ? Up(from) + path
                       : how == 3 ? (rng.Percent(50) ? "c:" : "") + tree.root.string() + "/" + path
                                  : through + path);
}

std::string Content(Rng& rng, const Tree& tree, const std::string& from) {
    // Itself through two links back to the top: the include graph doubles at every level.
    auto twice = [&] {
        std::string line = "#include \"" + Up(from) + rng.Pick(tree.loops) + "/" + from + "\"\n";
        return line + "#include \"" + Up(from) + rng.Pick(tree.loops) + "/" + from + "\"";
    };
    std::string text;
    for (size_t n = rng.Below(25); n > 0; --n) {
        size_t how = rng.Below(12);
        text += how == 7 && !tree.loops.empty() ? twice()
                : how == 0 ? "// #include \"" + Spelling(rng, tree, from) + "\""
                : how == 1 ? "/* #include <" + Spelling(rng, tree, from) + ">\n */"
                : how == 2 ? std::string(rng.Below(300000), 'x')
                : how == 3 ? "#include \"" + std::string(rng.Below(6000), 'h') + ".h\""
                : how == 4 ? std::string("#include \"a\0.h\"\0", 16)
                : how == 5 ? rng.Pick(kBrokenLines)
                : how == 6 ? "#include <" + Spelling(rng, tree, from) + ">"
                           : "#include \"" + Spelling(rng, tree, from) + "\"";
        if (rng.Percent(90)) text += rng.Percent(70) ? "\n" : rng.Percent(80) ? "\r\n" : "\r";
    }
    return text;
}

std::string LinkTarget(Rng& rng, const Tree& tree, const std::string& path, bool& loop) {
    size_t how = rng.Below(7);
    loop = how < 2;
    return how == 0   ? (Up(path).empty() ? "." : Up(path))
           : how == 1 ? tree.root.string()
           : how == 2 ? rng.Pick(Strings{"..", "../..", "/", "inc", "../other"})
           : how == 3 ? Up(path) + rng.Pick(tree.entries).path  // a file, a FIFO, another link
           : how == 4 ? rng.Pick(Strings{"/dev/zero", "/dev/null", "/dev/stdin"})
           : how == 5 ? tree.root.string() + "/" + rng.Pick(tree.entries).path
                      : rng.Pick(Strings{"nowhere.h", ""});  // "": the link itself
}

Tree PlanTree(Rng& rng, const fs::path& root) {
    // Each tree its own mix: where nearly every name ends the run at once, no run gets deep.
    Tree tree{root, {}, {""}, {}, rng.Below(20)};
    size_t links = 10 + rng.Below(40), fifos = links + rng.Below(3) * rng.Below(8);
    size_t hardLinks = fifos + rng.Below(8);
    for (const char* dir : {"inc", "other", "inc/deep", "Inc", "sp ace", "\xc3\x84", "$(x)"})
        if (rng.Percent(40)) tree.dirs.push_back(dir);
    tree.entries.push_back({'f', rng.Pick(Strings{"main.c", "M.CPP"}), "", ""});
    std::set<std::string> taken(tree.dirs.begin(), tree.dirs.end());
    taken.insert(tree.entries[0].path);
    for (size_t n = 4 + rng.Below(36); n > 0; --n) {
        const std::string& dir = rng.Pick(tree.dirs);
        std::string name = rng.Pick(kStems);
        Entry e{'f', (dir.empty() ? "" : dir + "/") + name + rng.Pick(kExtensions), "", ""};
        size_t roll = rng.Below(100);
        bool loop = false;
        if (roll < links) {
            e.kind = 'l';
            e.target = LinkTarget(rng, tree, e.path, loop);
            if (e.target.empty()) e.target = BaseOf(e.path);
        } else if (roll < hardLinks) {
            e.kind = roll < fifos ? 'p' : 'h';
            const Entry& other = rng.Pick(tree.entries);
            e.target = (other.kind == 'f' ? other : tree.entries.front()).path;
        }
        // Two links to one directory make the ways to spell a name multiply.
        for (int copies = loop || (e.kind == 'l' && rng.Percent(40)) ? 2 : 1; copies > 0;
             --copies) {
            if (!taken.insert(e.path).second) break;
            tree.entries.push_back(e);
            if (loop) tree.loops.push_back(e.path);
            e.path += "2";
        }
    }
    for (Entry& e : tree.entries)
        if (e.kind == 'f') e.content = Content(rng, tree, e.path);
    return tree;
}

bool WriteNew(const char* path, const std::string& content) {
    // O_EXCL: never open what is there already, least of all a FIFO.
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644);
    bool ok = fd >= 0 &&
              write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    return (fd < 0 || close(fd) == 0) && ok;
}

void MakeTree(const Tree& tree) {
    fs::remove_all(tree.root);
    for (const std::string& dir : tree.dirs)
        fs::create_directories(tree.root / dir);
    for (const Entry& e : tree.entries) {
        std::string path = (tree.root / e.path).string();
        const char* p = path.c_str();
        bool ok = e.kind == 'l'   ? symlink(e.target.c_str(), p) == 0
                  : e.kind == 'p' ? mkfifo(p, 0644) == 0
                  : e.kind == 'h' ? link((tree.root / e.target).c_str(), p) == 0
                                  : WriteNew(p, e.content);
        if (!ok) throw std::runtime_error("cannot make " + path + ": " + std::strerror(errno));
    }
}

struct Invocation {
    Strings args, env;  // env: added to the inherited environment
};

Invocation PlanInvocation(Rng& rng, const Tree& tree) {
    Invocation inv{{"/nologo"}, {}};
    Strings options = {"/S",  "/M",   "/H",          "/A",    "/A-", "/Go",
                       "/Gt", "/Go+", "/Iinc;other", "/Oobj", "-s",  "/Iinc\\deep;;\\dev"};
    options.push_back("/X" + Spelling(rng, tree, ""));
    options.push_back("/U" + Spelling(rng, tree, ""));
    for (const std::string& option : options)
        if (rng.Percent(25)) inv.args.push_back(option);
    // Modes 0 and 1 go on after a missing or recursive include, deeper into the tree.
    for (const char* mode : {"/Ef", "/Er", "/Et", "/Ex"})
        if (rng.Percent(60)) inv.args.push_back(mode + std::to_string(rng.Below(4)));
    for (size_t n = 1 + rng.Below(3); n > 0; --n) {
        const Entry& e = rng.Pick(tree.entries);
        bool named = rng.Percent(50) || e.kind == 'p' || e.kind == 'l';
        inv.args.push_back(
            named ? Mangle(rng, e.path)
                  : rng.Pick(Strings{"*.c", "*.*", "*", "inc\\*.h", "missing.c", "*.c=o"}));
    }
    if (rng.Percent(50)) {
        std::string list;
        for (size_t n = rng.Below(4); n > 0; --n)
            list += Mangle(rng, (tree.root / rng.Pick(tree.dirs)).string()) + ";";
        inv.env.push_back("INCLUDE=" + list + (rng.Percent(50) ? "c:\\dev" : ""));
    }
    if (rng.Percent(60)) inv.env.push_back(rng.Percent(60) ? "LANG=C.UTF-8" : "LANG=C");
    return inv;
}

// Names the program reads whatever their case; the runs start without them.
bool Removed(std::string name) {
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name == "INCLUDE" || name == "LANG" || name == "LANGUAGE" || name.rfind("LC_", 0) == 0;
}

// Bash's $'...' form: a failure's command line can be pasted into a shell as it is.
std::string Quote(const std::string& s) {
    std::string q = "$'";
    for (unsigned char c : s) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        q += c == '\'' || c == '\\'  ? "\\" + std::string(1, static_cast<char>(c))
             : c < 0x20 || c >= 0x7f ? hex
                                     : std::string(1, static_cast<char>(c));
    }
    return q + "'";
}

// Where each thread waits, and what is open, tells a FIFO from a loop (Linux only).
std::string State(pid_t pid) {
    std::string text, proc = "/proc/" + std::to_string(pid);
    std::error_code ignored;
    for (fs::directory_iterator it(proc + "/task", ignored); it != fs::directory_iterator();) {
        std::string wchan;
        std::ifstream(it->path() / "wchan") >> wchan;
        text += (text.empty() ? "; threads: " : ", ") + (wchan == "0" ? "running" : wchan);
        it.increment(ignored);
    }
    for (fs::directory_iterator it(proc + "/fd", ignored); it != fs::directory_iterator();) {
        if (std::stoi(it->path().filename()) > 2)
            text += "; open: " + Quote(fs::read_symlink(it->path(), ignored));
        it.increment(ignored);
    }
    return text;
}

struct Result {
    std::string out, err;  // of stdout only the head
    size_t sizes[2] = {0, 0};
    int exitCode = -1, signal = 0;
    std::string killedFor;  // why the runner stopped it, if it did
    long ms = 0;
};

Result Run(const std::string& program, const Invocation& inv, const fs::path& cwd, int timeout) {
    Strings strings = {program}, env;
    strings.insert(strings.end(), inv.args.begin(), inv.args.end());
    for (char** e = environ; *e; ++e)
        if (!Removed(std::string(*e, std::strcspn(*e, "=")))) env.push_back(*e);
    env.insert(env.end(), inv.env.begin(), inv.env.end());
    std::vector<char*> args, vars;
    for (std::string& s : strings)
        args.push_back(&s[0]);
    for (std::string& s : env)
        vars.push_back(&s[0]);
    args.push_back(nullptr);
    vars.push_back(nullptr);
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
    pid_t parent = getpid(), pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        setpgid(0, 0);
#ifdef __linux__
        // A runner killed by CTest's timeout must not leave a child blocked on a FIFO for ever.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
#endif
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd = 3; fd < 1024; ++fd)  // the program sees only the files it opens itself
            close(fd);
        if (chdir(cwd.c_str()) == 0) execve(args[0], args.data(), vars.data());
        std::perror(args[0]);
        _exit(127);
    }
    setpgid(pid, pid);  // here too, so that a kill cannot come before the child's own call
    close(outPipe[1]);
    close(errPipe[1]);
    Result r;
    auto start = Clock::now(), deadline = start + std::chrono::seconds(timeout);
    auto stop = [&](const std::string& why) {
        if (r.killedFor.empty()) kill(-pid, SIGKILL), r.killedFor = why;
    };
    auto late = [&] { return "timed out after " + std::to_string(timeout) + " s" + State(pid); };
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        poll(fds, 2, 100);
        for (int i = 0; i < 2; ++i) {
            char buffer[65536];
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EINTR)) close(fds[i].fd), fds[i].fd = -1;
            if (n <= 0) continue;
            // Kept: all of stderr, searched for sanitizer reports, and the head of stdout.
            if (i == 1 || r.out.size() < 4096) (i == 0 ? r.out : r.err).append(buffer, n);
            if ((r.sizes[i] += static_cast<size_t>(n)) > kMaxStream)
                stop(std::string(i == 0 ? "stdout" : "stderr") + " exceeded 32 MiB");
        }
        if (Clock::now() >= deadline && r.killedFor.empty()) stop(late());
    }
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline && r.killedFor.empty()) stop(late());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    r.ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    return r;
}

const char* const kReports[] = {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                                "runtime error:", "SUMMARY: UndefinedBehaviorSanitizer"};

std::string Problem(const Result& r) {
    if (!r.killedFor.empty()) return r.killedFor;
    for (const char* report : kReports)
        if (r.err.find(report) != std::string::npos) return std::string("sanitizer: ") + report;
    if (r.signal) return "killed by signal " + std::to_string(r.signal) + " " + strsignal(r.signal);
    for (int code : {0, 1, 2, 3, 4, 5, 254, 255})
        if (r.exitCode == code) return "";
    return "unexpected exit code " + std::to_string(r.exitCode);
}

// lstat only, and open only regular files: listing a tree of FIFOs must not block.
void ListTree(const fs::path& dir, const std::string& prefix) {
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(dir))
        paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    for (const fs::path& path : paths) {
        std::string name = prefix + path.filename().string();
        struct stat st;
        std::cout << "  ";
        if (lstat(path.c_str(), &st) != 0) {
            std::cout << "?       " << Quote(name) << "\n";
        } else if (S_ISDIR(st.st_mode)) {
            std::cout << "dir     " << Quote(name) << "\n";
            ListTree(path, name + "/");
        } else if (S_ISLNK(st.st_mode)) {
            std::cout << "symlink " << Quote(name) << " -> " << Quote(fs::read_symlink(path))
                      << "\n";
        } else if (S_ISREG(st.st_mode)) {
            std::string head(60, '\0');
            int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
            head.resize(fd < 0 ? 0 : std::max<ssize_t>(0, read(fd, &head[0], head.size())));
            if (fd >= 0) close(fd);
            std::cout << "file    " << Quote(name) << " (" << st.st_size << " bytes, "
                      << st.st_nlink << " links) " << Quote(head) << "\n";
        } else {
            std::cout << (S_ISFIFO(st.st_mode) ? "fifo    " : "other   ") << Quote(name) << "\n";
        }
    }
}

void Report(const std::string& title, const Result& r, const Invocation& inv, const Tree& tree,
            const std::string& program) {
    std::cout << "FAIL " << title << " (exit code " << r.exitCode << ", " << r.ms << " ms)\n"
              << "command: cd " << Quote(tree.root) << " && env";
    for (char** e = environ; *e; ++e) {
        std::string name(*e, std::strcspn(*e, "="));
        if (Removed(name)) std::cout << " -u " << Quote(name);
    }
    for (const std::string& word : inv.env)
        std::cout << " " << Quote(word);
    std::cout << " " << Quote(program);
    for (const std::string& word : inv.args)
        std::cout << " " << Quote(word);
    size_t from = std::string::npos;
    for (const char* report : kReports)
        from = std::min(from, r.err.find(report));
    from = from == std::string::npos ? 0 : r.err.rfind('\n', from) + 1;
    std::cout << " </dev/null\nstdout (" << r.sizes[0] << " bytes): " << Quote(r.out.substr(0, 300))
              << "\nstderr (" << r.sizes[1] << " bytes): " << Quote(r.err.substr(from, 3000))
              << "\ntree, kept:\n";
    ListTree(tree.root, "");
    std::cout << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    const Strings known = {"--program", "--sandbox",      "--seed", "--runs",
                           "--timeout", "--max-failures", "--keep"};
    std::map<std::string, std::string> opt = {{"--timeout", "20"}, {"--max-failures", "-1"}};
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        opt[name] = name == "--keep" || i + 1 == argc ? "" : argv[++i];
    }
    uint64_t seed = 0;
    int runs = 0, timeout = 0, maxFailures = 0;
    try {
        for (const auto& o : opt)
            if (!std::count(known.begin(), known.end(), o.first)) throw std::invalid_argument("");
        if (opt.at("--program").empty() || opt.at("--sandbox").empty()) throw std::out_of_range("");
        seed = std::stoull(opt.at("--seed"));
        runs = std::stoi(opt.at("--runs"));
        timeout = std::stoi(opt.at("--timeout"));
        maxFailures = std::stoi(opt.at("--max-failures"));
    } catch (const std::logic_error&) {
        std::cerr << "usage: hostile_trees --program <exe> --sandbox <dir> --seed <n> --runs <n>\n"
                     "                     [--timeout <seconds>] [--max-failures <n>] [--keep]\n";
        return 2;
    }
    std::string program = fs::absolute(opt["--program"]).string();
    int failures = 0, done = 0, slowestRun = -1;
    long slowest = -1;
    try {
        for (int run = 0; run < runs && failures != maxFailures; ++run, ++done) {
            // Mixed first: seeds n and n+1 must not share all but one of their runs.
            Rng rng{Rng{seed}.Next() + static_cast<uint64_t>(run)};
            Tree tree =
                PlanTree(rng, fs::absolute(opt["--sandbox"]) / ("run" + std::to_string(run)));
            MakeTree(tree);
            bool failed = false;
            for (int call = 1, calls = 1 + static_cast<int>(rng.Below(3)); call <= calls; ++call) {
                Invocation inv = PlanInvocation(rng, tree);
                Result r = Run(program, inv, tree.root, timeout);
                if (r.ms > slowest) slowest = r.ms, slowestRun = run;
                std::string problem = Problem(r);
                if (problem.empty()) continue;
                Report("seed " + std::to_string(seed) + " run " + std::to_string(run) +
                           " invocation " + std::to_string(call) + ": " + problem,
                       r, inv, tree, program);
                failed = true;
            }
            failures += failed;
            if (!failed && !opt.count("--keep")) fs::remove_all(tree.root);
        }
    } catch (const std::exception& e) {  // a tree this host cannot make: no verdict on the program
        std::cerr << "hostile_trees: " << e.what() << "\n";
        return 2;
    }
    std::cout << "hostile_trees: seed " << seed << ", " << done << " runs, " << failures
              << " failed, slowest run " << slowest << " ms (run " << slowestRun << ")"
              << (failures == maxFailures ? ", stopped at the failure limit" : "") << std::endl;
    return failures ? 1 : 0;
}
