// e2e_runner: runs incwalk32 on one end-to-end case and compares what it wrote with what the
// case expects. The case format is described in README.md beside this file.
//
//   e2e_runner --program <exe> --sandbox <dir> [--emulator <prog>]... [--drive <letter>]
//              [--crlf] [--windows] [--keep] [--update] [--timeout <seconds>] <file.case>
//
// Exit status: 0 the case passed (or was updated), 1 it failed, 2 the case or the command line
// of the runner is malformed, 77 the case does not run for this build (skip-windows).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// A malformed case file or runner command line; reported with exit status 2.
struct CaseError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string program;
    std::vector<std::string> emulator;
    fs::path sandbox;
    fs::path caseFile;
    char drive = 'C';
    bool crlf = false;
    bool windows = false;  // the Windows build: windows-* sections override, skip-windows skips
    bool keep = false;
    bool update = false;
    int timeoutSeconds = 60;
};

// One "== kind arg" section with its raw content lines (line ends removed).
struct Section {
    std::string kind;
    std::string arg;
    std::string marker;
    int lineNumber = 0;
    std::vector<std::string> lines;
};

struct CaseFile {
    std::vector<std::string> preamble;
    std::vector<Section> sections;
};

// The sandbox root as the program shows it: Windows form and its lower-cased normal form.
struct Root {
    std::string upper;
    std::string lower;
};

struct RunResult {
    std::string out;
    std::string err;
    int exitCode = -1;
    int signal = 0;
    bool timedOut = false;
};

const char* const kMarker = "== ";

// The exit status for a case that says it does not run for this build (CTest's SKIP_RETURN_CODE).
const int kSkipped = 77;

// ---------------------------------------------------------------------------------------------
// Reading and parsing a case file

std::vector<std::string> ReadLines(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CaseError("cannot read " + path.string());
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        // A checkout with CR LF line ends reads like one with LF; a wanted CR is written [CR].
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool IsMarker(const std::string& line) {
    return line.compare(0, 3, kMarker) == 0;
}

// The sections that make a part of the tree before the run.
bool MakesPath(const std::string& kind) {
    return kind == "file" || kind == "file-as-written" || kind == "dir" || kind == "link" ||
           kind == "hardlink" || kind == "fifo";
}

// The sections that check a part of the tree after the run.
bool ChecksPath(const std::string& kind) {
    return kind == "after" || kind == "kept" || kind == "listing";
}

bool TakesPath(const std::string& kind) {
    return MakesPath(kind) || ChecksPath(kind);
}

bool IsKnownKind(const std::string& kind) {
    static const char* const kKinds[] = {"file",
                                         "file-as-written",
                                         "dir",
                                         "link",
                                         "hardlink",
                                         "fifo",
                                         "after",
                                         "kept",
                                         "listing",
                                         "stdout-to",
                                         "args",
                                         "env",
                                         "cwd",
                                         "stdout",
                                         "stderr",
                                         "exit",
                                         "windows-stdout",
                                         "windows-stderr",
                                         "windows-exit",
                                         "skip-windows"};
    for (const char* known : kKinds)
        if (kind == known) return true;
    return false;
}

Section ParseMarker(const std::string& line, int lineNumber) {
    Section section;
    section.marker = line;
    section.lineNumber = lineNumber;
    std::string rest = line.substr(3);
    size_t blank = rest.find(' ');
    section.kind = rest.substr(0, blank);
    if (blank != std::string::npos) section.arg = rest.substr(blank + 1);
    std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (!IsKnownKind(section.kind)) throw CaseError(where + "unknown section '" + line + "'");
    bool skip = section.kind == "skip-windows";
    if (TakesPath(section.kind) && section.arg.empty())
        throw CaseError(where + "'== " + section.kind + "' needs a relative path");
    if (skip && section.arg.empty()) throw CaseError(where + "'== skip-windows' needs the reason");
    if (!TakesPath(section.kind) && !skip && !section.arg.empty())
        throw CaseError(where + "'== " + section.kind + "' takes no argument");
    return section;
}

void CheckUnique(const std::vector<Section>& sections) {
    std::map<std::string, int> seen;
    for (const Section& section : sections) {
        if (TakesPath(section.kind)) continue;
        if (seen[section.kind]++)
            throw CaseError("line " + std::to_string(section.lineNumber) +
                            ": second '== " + section.kind + "' section");
    }
}

CaseFile ParseCase(const std::vector<std::string>& lines) {
    CaseFile parsed;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        int lineNumber = static_cast<int>(i) + 1;
        if (IsMarker(line)) {
            parsed.sections.push_back(ParseMarker(line, lineNumber));
        } else if (!parsed.sections.empty()) {
            parsed.sections.back().lines.push_back(line);
        } else if (line.empty() || line[0] == '#') {
            parsed.preamble.push_back(line);
        } else {
            throw CaseError("line " + std::to_string(lineNumber) +
                            ": text before the first section must be a # comment");
        }
    }
    CheckUnique(parsed.sections);
    for (const Section& section : parsed.sections) {
        if (section.kind != "skip-windows") continue;
        for (const std::string& line : section.lines) {
            if (!line.empty())
                throw CaseError("line " + std::to_string(section.lineNumber) +
                                ": '== skip-windows' cannot have content");
        }
    }
    return parsed;
}

template <typename Case>  // CaseFile or const CaseFile
auto FindSection(Case& parsed, const std::string& kind) -> decltype(&parsed.sections[0]) {
    for (auto& section : parsed.sections)
        if (section.kind == kind) return &section;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Placeholders

// Expands every [REPEAT n]text[/REPEAT] of one line.
std::string ExpandRepeats(const std::string& line) {
    static const std::string kOpen = "[REPEAT ", kClose = "[/REPEAT]";
    std::string result;
    size_t pos = 0;
    for (size_t open; (open = line.find(kOpen, pos)) != std::string::npos;) {
        size_t countEnd = line.find(']', open);
        size_t close = line.find(kClose, open);
        if (countEnd == std::string::npos || close == std::string::npos || close < countEnd)
            throw CaseError("unterminated [REPEAT n]...[/REPEAT] in '" + line + "'");
        std::string count = line.substr(open + kOpen.size(), countEnd - open - kOpen.size());
        if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos)
            throw CaseError("bad repeat count '" + count + "' in '" + line + "'");
        std::string text = line.substr(countEnd + 1, close - countEnd - 1);
        result += line.substr(pos, open - pos);
        for (long n = std::stol(count); n > 0; --n)
            result += text;
        pos = close + kClose.size();
    }
    return result + line.substr(pos);
}

// Whether `[xHH]` (one byte in hexadecimal, upper-case digits) stands at `at`: bytes that are not
// UTF-8, such as names in the BIG5 character set.
bool IsByteToken(const std::string& text, size_t at) {
    auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    return text.compare(at, 2, "[x") == 0 && at + 5 <= text.size() && hex(text[at + 2]) &&
           hex(text[at + 3]) && text[at + 4] == ']';
}

// Expands the placeholders of one line in a single pass; unknown bracketed text stays as it is.
std::string ExpandLine(const std::string& line, const Root& root) {
    const std::pair<const char*, std::string> kTokens[] = {
        {"[TAB]", "\t"},        {"[BLANK]", " "},       {"[CR]", "\r"},
        {"[ROOT]", root.upper}, {"[root]", root.lower},
    };
    std::string text = ExpandRepeats(line);
    std::string result;
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& token : kTokens) {
            if (text.compare(i, std::strlen(token.first), token.first) == 0) {
                result += token.second;
                i += std::strlen(token.first);
                replaced = true;
                break;
            }
        }
        if (replaced) continue;
        if (IsByteToken(text, i)) {
            result += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 5;
            continue;
        }
        if (text.compare(i, 7, "[NOEOL]") == 0)
            throw CaseError("[NOEOL] is allowed only at the end of a section: '" + line + "'");
        result += text[i++];
    }
    return result;
}

// The content of a section: every line expanded and ended by "\n", except that [NOEOL] at the
// end of the last line drops its line end.
std::string SectionText(const Section& section, const Root& root) {
    std::string text;
    for (size_t i = 0; i < section.lines.size(); ++i) {
        std::string line = section.lines[i];
        bool last = i + 1 == section.lines.size();
        bool noEol = last && line.size() >= 7 && line.compare(line.size() - 7, 7, "[NOEOL]") == 0;
        if (noEol) line.resize(line.size() - 7);
        text += ExpandLine(line, root);
        if (!noEol) text += '\n';
    }
    return text;
}

// Lines without blank lines, for the sections that hold values rather than content.
std::vector<std::string> ValueLines(const Section& section, const Root& root) {
    std::vector<std::string> values;
    for (const std::string& line : section.lines)
        if (!line.empty()) values.push_back(ExpandLine(line, root));
    return values;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
    return text;
}

// The inverse of the placeholders, for writing actual output back into a case file and for
// showing differences: one encoded line per output line.
std::vector<std::string> EncodeText(const std::string& text, const Root& root) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        bool noEol = end == std::string::npos;
        std::string line = text.substr(pos, noEol ? std::string::npos : end - pos);
        line = Replace(Replace(line, root.upper, "[ROOT]"), root.lower, "[root]");
        size_t body = line.find_last_not_of(' ') + 1;  // npos + 1 == 0 for an all-blank line
        std::string encoded;
        for (size_t i = 0; i < line.size(); ++i) {
            char c = line[i];
            encoded += c == '\t'   ? "[TAB]"
                       : c == '\r' ? "[CR]"
                       : i >= body ? "[BLANK]"
                                   : std::string(1, c);
        }
        lines.push_back(encoded + (noEol ? "[NOEOL]" : ""));
        pos = noEol ? text.size() : end + 1;
    }
    return lines;
}

// ---------------------------------------------------------------------------------------------
// The sandbox

bool IsAncestorOrSelf(const fs::path& dir, const fs::path& path) {
    auto d = dir.begin(), p = path.begin();
    for (; d != dir.end() && p != path.end(); ++d, ++p)
        if (*d != *p) return false;
    return d == dir.end();
}

// Deletes and recreates the sandbox; returns its absolute path with links resolved, the form in
// which the program sees its current directory.
fs::path PrepareSandbox(const fs::path& sandbox, const fs::path& caseFile) {
    fs::path dir = fs::weakly_canonical(fs::absolute(sandbox));
    for (const fs::path& precious : {fs::current_path(), fs::weakly_canonical(caseFile)}) {
        if (dir == dir.root_path() || IsAncestorOrSelf(dir, precious))
            throw CaseError("refusing to use " + dir.string() + " as a sandbox");
    }
    fs::remove_all(dir);
    fs::create_directories(dir);
    return fs::canonical(dir);
}

Root MakeRoot(const fs::path& sandbox, char drive) {
    Root root;
    root.upper = std::string(1, drive) + ":" + Replace(sandbox.string(), "/", "\\");
    root.lower = root.upper;
    for (char& c : root.lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return root;
}

// A relative path that stays inside the sandbox.
fs::path InsidePath(const fs::path& sandbox, const std::string& relative) {
    fs::path rel = fs::path(relative).lexically_normal();
    if (rel.is_absolute() || rel.empty() || *rel.begin() == "..")
        throw CaseError("path '" + relative + "' must stay inside the sandbox");
    return sandbox / rel;
}

void WriteFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw CaseError("cannot write " + path.string());
}

// The one value of a section that must hold exactly one.
std::string OneValue(const Section& section, const Root& root) {
    std::vector<std::string> values = ValueLines(section, root);
    if (values.size() != 1) throw CaseError("'" + section.marker + "' must hold exactly one value");
    return values[0];
}

void CreateTree(const CaseFile& parsed, const fs::path& sandbox, const Root& root,
                const Options& options) {
    for (const Section& section : parsed.sections) {
        if (!MakesPath(section.kind)) continue;
        fs::path path = InsidePath(sandbox, ExpandLine(section.arg, root));
        if (section.kind == "file") {
            WriteFile(path, SectionText(section, root));
            continue;
        }
        if (section.kind == "file-as-written") {
            const std::string text = SectionText(section, root);
            WriteFile(path, options.crlf ? Replace(text, "\n", "\r\n") : text);
            continue;
        }
        const bool valued = section.kind == "link" || section.kind == "hardlink";
        if (!valued && !ValueLines(section, root).empty())
            throw CaseError("'" + section.marker + "' cannot have content");
        fs::create_directories(section.kind == "dir" ? path : path.parent_path());
        if (section.kind == "link") {
            // The target as written: relative to the link's directory, or an absolute POSIX path.
            fs::create_symlink(OneValue(section, root), path);
        } else if (section.kind == "hardlink") {
            fs::create_hard_link(InsidePath(sandbox, OneValue(section, root)), path);
        } else if (section.kind == "fifo" && mkfifo(path.c_str(), 0644) != 0) {
            throw CaseError("cannot make the FIFO " + path.string());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Running the program

std::vector<std::string> CaseArguments(const CaseFile& parsed, const Root& root) {
    std::vector<std::string> args;
    if (const Section* section = FindSection(parsed, "args")) {
        for (const std::string& line : section->lines)
            args.push_back(ExpandLine(line, root));
    }
    return args;
}

bool IsRemovedVariable(const std::string& entry) {
    std::string name = entry.substr(0, entry.find('='));
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    // The program looks names up regardless of case, so "include" counts as INCLUDE too.
    return name == "INCLUDE" || name == "LANG" || name == "LANGUAGE" ||
           name.compare(0, 3, "LC_") == 0;
}

// The locale a case's environment asks for, where the host has not got it: the case cannot run.
std::string MissingLocale(const std::vector<std::string>& env) {
    for (const char* name : {"LC_ALL=", "LC_CTYPE=", "LANG="}) {
        for (const std::string& entry : env) {
            if (entry.compare(0, std::strlen(name), name) != 0) continue;
            const std::string locale = entry.substr(std::strlen(name));
            locale_t handle = newlocale(LC_CTYPE_MASK, locale.c_str(), nullptr);
            if (handle == nullptr) return locale;
            freelocale(handle);
            return std::string();
        }
    }
    return std::string();
}

std::vector<std::string> CaseEnvironment(const CaseFile& parsed, const Root& root) {
    std::map<std::string, std::string> byName;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        if (!IsRemovedVariable(text)) byName[text.substr(0, text.find('='))] = text;
    }
    if (const Section* section = FindSection(parsed, "env")) {
        for (const std::string& line : ValueLines(*section, root)) {
            size_t equals = line.find('=');
            if (equals == std::string::npos || equals == 0)
                throw CaseError("environment line '" + line + "' is not NAME=value");
            byName[line.substr(0, equals)] = line;
        }
    }
    std::vector<std::string> env;
    for (const auto& entry : byName)
        env.push_back(entry.second);
    return env;
}

fs::path CaseDirectory(const CaseFile& parsed, const fs::path& sandbox, const Root& root) {
    const Section* section = FindSection(parsed, "cwd");
    if (!section) return sandbox;
    std::vector<std::string> values = ValueLines(*section, root);
    if (values.size() != 1) throw CaseError("'== cwd' must hold exactly one directory");
    fs::path dir = InsidePath(sandbox, values[0]);
    fs::create_directories(dir);
    return dir;
}

// The section that holds the expected result `kind` (stdout, stderr or exit) for this build: for
// the Windows build its windows-<kind> section where the case has one.
const Section* ExpectedSection(const CaseFile& parsed, const std::string& kind,
                               const Options& options) {
    if (options.windows) {
        if (const Section* section = FindSection(parsed, "windows-" + kind)) return section;
    }
    return FindSection(parsed, kind);
}

int ExpectedExitCode(const Section* section, const Root& root) {
    if (!section) return 0;
    std::vector<std::string> values = ValueLines(*section, root);
    if (values.size() != 1 || values[0].find_first_not_of("0123456789") != std::string::npos)
        throw CaseError("'== exit' must hold exactly one number");
    return std::stoi(values[0]);
}

std::vector<char*> CStrings(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(&s[0]);
    pointers.push_back(nullptr);
    return pointers;
}

// Where the program's standard output goes: the runner's pipe, or one of the failures that a
// case may ask for with `== stdout-to`.
enum class StdoutTo { PIPE, FULL_DEVICE, CLOSED, BROKEN_PIPE };

StdoutTo CaseStdout(const CaseFile& parsed, const Root& root) {
    const Section* section = FindSection(parsed, "stdout-to");
    if (!section) return StdoutTo::PIPE;
    const std::string value = OneValue(*section, root);
    if (value == "full") return StdoutTo::FULL_DEVICE;
    if (value == "closed") return StdoutTo::CLOSED;
    if (value == "broken-pipe") return StdoutTo::BROKEN_PIPE;
    throw CaseError("'== stdout-to' takes full, closed or broken-pipe, not '" + value + "'");
}

// Puts the failure `to` asks for on descriptor 1 of the child.
void RedirectStdout(StdoutTo to, int outFd) {
    if (to == StdoutTo::PIPE) {
        dup2(outFd, 1);
    } else if (to == StdoutTo::FULL_DEVICE) {
        dup2(open("/dev/full", O_WRONLY), 1);
    } else if (to == StdoutTo::CLOSED) {
        close(1);
    } else {
        // A reader that went away before the program wrote anything: every write fails.
        int ends[2];
        if (pipe(ends) != 0) _exit(127);
        close(ends[0]);
        dup2(ends[1], 1);
        close(ends[1]);
        signal(SIGPIPE, SIG_DFL);
    }
    close(outFd);
}

[[noreturn]] void ExecChild(std::vector<std::string> argv, std::vector<std::string> env,
                            const fs::path& cwd, int outFd, int errFd, StdoutTo stdoutTo) {
    setpgid(0, 0);
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(errFd, 2);
    RedirectStdout(stdoutTo, outFd);
    if (chdir(cwd.c_str()) != 0) {
        std::perror(cwd.c_str());
        _exit(127);
    }
    std::vector<char*> args = CStrings(argv);
    std::vector<char*> vars = CStrings(env);
    environ = vars.data();  // execvp looks the emulator up along this environment's PATH
    execvp(args[0], args.data());
    std::fprintf(stderr, "e2e_runner: cannot run %s: %s\n", args[0], std::strerror(errno));
    _exit(127);
}

// Reads both pipes until they close or the deadline passes; returns false on timeout.
bool CollectOutput(int outFd, int errFd, RunResult& result,
                   std::chrono::steady_clock::time_point deadline) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int openCount = 2;
    while (openCount > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        if (poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) return false;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --openCount;
            }
        }
    }
    return true;
}

// Waits for the child; kills its process group when the deadline passes.
void Reap(pid_t pid, RunResult& result, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline && !result.timedOut) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
}

RunResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
              const fs::path& cwd, int timeoutSeconds, StdoutTo stdoutTo) {
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        ExecChild(argv, env, cwd, outPipe[1], errPipe[1], stdoutTo);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    RunResult result;
    if (!CollectOutput(outPipe[0], errPipe[0], result, deadline)) {
        result.timedOut = true;
        kill(-pid, SIGKILL);
    }
    close(outPipe[0]);
    close(errPipe[0]);
    Reap(pid, result, deadline);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Comparing and reporting

std::string WithCrlf(const std::string& text) {
    return Replace(text, "\n", "\r\n");
}

// A line diff of two small texts (longest common subsequence): ' ' both, '-' expected only,
// '+' actual only.
void PrintDiff(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    size_t n = a.size(), m = b.size();
    if (n * m > 4000000) {
        for (const std::string& line : a)
            std::cout << "- " << line << "\n";
        for (const std::string& line : b)
            std::cout << "+ " << line << "\n";
        return;
    }
    std::vector<std::vector<int>> common(n + 1, std::vector<int>(m + 1, 0));
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            common[i][j] = a[i] == b[j] ? common[i + 1][j + 1] + 1
                                        : std::max(common[i + 1][j], common[i][j + 1]);
    size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j]) {
            std::cout << "  " << a[i++] << "\n";
            ++j;
        } else if (j == m || (i < n && common[i + 1][j] >= common[i][j + 1])) {
            std::cout << "- " << a[i++] << "\n";
        } else {
            std::cout << "+ " << b[j++] << "\n";
        }
    }
}

std::string Quoted(const std::vector<std::string>& argv, const Root& root) {
    std::string text;
    for (const std::string& arg : argv) {
        std::vector<std::string> encoded = EncodeText(arg + "\n", root);
        text += (text.empty() ? "'" : " '") + (encoded.empty() ? "" : encoded[0]) + "'";
    }
    return text;
}

struct Outcome {
    std::string expectedOut, expectedErr;
    int expectedExit = 0;
    RunResult actual;
};

bool StreamMatches(const std::string& expected, const std::string& actual, bool crlf) {
    return (crlf ? WithCrlf(expected) : expected) == actual;
}

std::string Normalized(const std::string& actual, bool crlf) {
    return crlf ? Replace(actual, "\r\n", "\n") : actual;
}

bool Passed(const Outcome& o, bool crlf) {
    return !o.actual.timedOut && o.actual.signal == 0 && o.actual.exitCode == o.expectedExit &&
           StreamMatches(o.expectedOut, o.actual.out, crlf) &&
           StreamMatches(o.expectedErr, o.actual.err, crlf);
}

void ReportStream(const char* name, const std::string& expected, const std::string& actual,
                  const Options& options, const Root& root) {
    if (StreamMatches(expected, actual, options.crlf)) return;
    std::cout << "\n" << name << " differs (- expected, + actual):\n";
    PrintDiff(EncodeText(expected, root), EncodeText(Normalized(actual, options.crlf), root));
}

void ReportHeader(const Options& options, const Root& root, const std::vector<std::string>& argv,
                  const fs::path& cwd) {
    std::cout << "FAIL " << options.caseFile.string() << "\n"
              << "command: " << Quoted(argv, root) << "\n"
              << "directory: " << cwd.string() << "  ([ROOT] = " << root.upper << ")\n";
}

void ReportFailure(const Outcome& o, const Options& options, const Root& root,
                   const std::vector<std::string>& argv, const fs::path& cwd) {
    ReportHeader(options, root, argv, cwd);
    if (o.actual.timedOut)
        std::cout << "\ntimed out after " << options.timeoutSeconds << " s\n";
    else if (o.actual.signal)
        std::cout << "\nkilled by signal " << o.actual.signal << "\n";
    else if (o.actual.exitCode != o.expectedExit)
        std::cout << "\nexit code: expected " << o.expectedExit << ", actual " << o.actual.exitCode
                  << "\n";
    ReportStream("stdout", o.expectedOut, o.actual.out, options, root);
    ReportStream("stderr", o.expectedErr, o.actual.err, options, root);
}

// ---------------------------------------------------------------------------------------------
// The tree after the run

// The time a `kept` file is given before the run: 2001-01-01 00:00:00 UTC.
const time_t kOldTime = 978307200;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a `kept` file held before the run.
struct KeptFile {
    std::string name;
    fs::path path;
    std::string bytes;
};

// Gives every `kept` file its old time and notes its bytes.
std::vector<KeptFile> PrepareKeptFiles(const CaseFile& parsed, const fs::path& sandbox,
                                       const Root& root) {
    std::vector<KeptFile> kept;
    for (const Section& section : parsed.sections) {
        if (section.kind != "kept") continue;
        if (!ValueLines(section, root).empty())
            throw CaseError("'" + section.marker + "' cannot have content");
        const fs::path path = InsidePath(sandbox, ExpandLine(section.arg, root));
        if (!fs::is_regular_file(path))
            throw CaseError("'" + section.marker + "' needs a file that a file section makes");
        const timespec times[2] = {{kOldTime, 0}, {kOldTime, 0}};
        if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
            throw CaseError("cannot set the time of " + path.string());
        kept.push_back(KeptFile{section.arg, path, ReadBytes(path)});
    }
    return kept;
}

// The names in a directory, sorted: a directory's with a slash after it, a link's with its
// target.
std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
        std::string name = entry.path().filename().string();
        if (entry.is_symlink()) {
            name += " -> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            name += "/";
        }
        names.push_back(name);
    }
    if (error) names.push_back("(cannot be listed: " + error.message() + ")");
    std::sort(names.begin(), names.end());
    return names;
}

// One check of the tree after the run that failed, with what it expected and found.
struct TreeDifference {
    std::string what;
    std::vector<std::string> expected;
    std::vector<std::string> actual;
};

std::vector<TreeDifference> CheckTree(const CaseFile& parsed, const std::vector<KeptFile>& kept,
                                      const fs::path& sandbox, const Root& root,
                                      const Options& options) {
    std::vector<TreeDifference> differences;
    for (const KeptFile& file : kept) {
        struct stat info;
        const bool there = stat(file.path.c_str(), &info) == 0;
        const std::string bytes = there ? ReadBytes(file.path) : std::string();
        if (!there || bytes != file.bytes) {
            differences.push_back(
                {"kept " + file.name + ": its bytes changed", EncodeText(file.bytes, root),
                 there ? EncodeText(bytes, root) : std::vector<std::string>{"(no such file)"}});
        } else if (info.st_mtim.tv_sec != kOldTime || info.st_mtim.tv_nsec != 0) {
            differences.push_back({"kept " + file.name + ": its time changed", {}, {}});
        }
    }
    for (const Section& section : parsed.sections) {
        if (section.kind != "after" && section.kind != "listing") continue;
        const fs::path path = InsidePath(sandbox, ExpandLine(section.arg, root));
        if (section.kind == "after") {
            const std::string expected = SectionText(section, root);
            const bool there = fs::is_regular_file(path);
            const std::string bytes = there ? ReadBytes(path) : std::string();
            if (!there || !StreamMatches(expected, bytes, options.crlf)) {
                differences.push_back({"after " + section.arg, EncodeText(expected, root),
                                       there ? EncodeText(Normalized(bytes, options.crlf), root)
                                             : std::vector<std::string>{"(no such file)"}});
            }
        } else if (section.kind == "listing") {
            const std::vector<std::string> expected = ValueLines(section, root);
            const std::vector<std::string> actual = Listing(path);
            if (actual != expected)
                differences.push_back({"listing " + section.arg, expected, actual});
        }
    }
    return differences;
}

void ReportTree(const std::vector<TreeDifference>& differences) {
    for (const TreeDifference& difference : differences) {
        std::cout << "\n"
                  << difference.what
                  << (difference.expected.empty() && difference.actual.empty()
                          ? "\n"
                          : " (- expected, + actual):\n");
        PrintDiff(difference.expected, difference.actual);
    }
}

// ---------------------------------------------------------------------------------------------
// Rewriting the expected results

std::vector<std::string> ResultLines(const std::string& kind, const RunResult& actual,
                                     const Options& options, const Root& root) {
    if (kind == "exit") return {std::to_string(actual.exitCode)};
    const std::string& text = kind == "stdout" ? actual.out : actual.err;
    std::vector<std::string> lines = EncodeText(Normalized(text, options.crlf), root);
    for (const std::string& line : lines)
        if (IsMarker(line)) throw CaseError("output line '" + line + "' would read as a section");
    return lines;
}

// Whether the actual result `kind` is what `section` expects (no section: empty output, exit 0).
bool ResultMatches(const std::string& kind, const Section* section, const RunResult& actual,
                   const Options& options, const Root& root) {
    if (kind == "exit") return actual.exitCode == ExpectedExitCode(section, root);
    std::string expected = section ? SectionText(*section, root) : "";
    return StreamMatches(expected, kind == "stdout" ? actual.out : actual.err, options.crlf);
}

// Where a missing result section goes: before the results that come after it in the order
// stdout, stderr, exit, windows-stdout, windows-stderr, windows-exit; else at the end.
std::vector<Section>::iterator ResultInsertPosition(CaseFile& parsed, const std::string& kind) {
    const std::vector<std::string> order = {"stdout",         "stderr",         "exit",
                                            "windows-stdout", "windows-stderr", "windows-exit"};
    auto rank = [&](const std::string& k) { return std::find(order.begin(), order.end(), k); };
    for (auto it = parsed.sections.begin(); it != parsed.sections.end(); ++it)
        if (rank(it->kind) != order.end() && rank(it->kind) > rank(kind)) return it;
    return parsed.sections.end();
}

// Existing result sections are rewritten in place; missing ones are added unless their result is
// the default (empty output, exit code 0). The Windows build writes only its windows-* sections,
// adding one where its result differs from the shared expectation.
void UpdateCase(CaseFile parsed, const RunResult& actual, const Options& options,
                const Root& root) {
    if (actual.timedOut || actual.signal)
        throw CaseError("not updating: the program did not exit normally");
    for (const char* name : {"stdout", "stderr", "exit"}) {
        const std::string kind = name;
        std::string target = options.windows ? "windows-" + kind : kind;
        std::vector<std::string> lines = ResultLines(kind, actual, options, root);
        Section* existing = FindSection(parsed, target);
        if (existing) {
            existing->lines = lines;
        } else if (!ResultMatches(kind, FindSection(parsed, kind), actual, options, root)) {
            Section added;
            added.kind = target;
            added.marker = std::string(kMarker) + target;
            added.lines = lines;
            parsed.sections.insert(ResultInsertPosition(parsed, target), added);
        }
    }
    std::string text;
    for (const std::string& line : parsed.preamble)
        text += line + "\n";
    for (const Section& section : parsed.sections) {
        text += section.marker + "\n";
        for (const std::string& line : section.lines)
            text += line + "\n";
    }
    fs::path temporary = options.caseFile.string() + ".tmp";
    WriteFile(temporary, text);
    fs::rename(temporary, options.caseFile);
}

// ---------------------------------------------------------------------------------------------
// Command line of the runner

const char* const kUsage =
    "usage: e2e_runner --program <exe> --sandbox <dir> [--emulator <prog>]... [--drive <letter>]\n"
    "                  [--crlf] [--windows] [--keep] [--update] [--timeout <seconds>]\n"
    "                  <file.case>\n";

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw CaseError(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--program")
            options.program = value();
        else if (arg == "--sandbox")
            options.sandbox = value();
        else if (arg == "--emulator")
            options.emulator.push_back(value());
        else if (arg == "--drive")
            options.drive = value().at(0);
        else if (arg == "--timeout")
            options.timeoutSeconds = std::stoi(value());
        else if (arg == "--crlf")
            options.crlf = true;
        else if (arg == "--windows")
            options.windows = true;
        else if (arg == "--keep")
            options.keep = true;
        else if (arg == "--update")
            options.update = true;
        else if (arg.compare(0, 2, "--") == 0 || !options.caseFile.empty())
            throw CaseError("unexpected argument '" + arg + "'");
        else
            options.caseFile = arg;
    }
    if (options.program.empty() || options.sandbox.empty() || options.caseFile.empty())
        throw CaseError("missing argument");
    return options;
}

int RunCase(const Options& options) {
    CaseFile parsed = ParseCase(ReadLines(options.caseFile));
    const Section* skip = FindSection(parsed, "skip-windows");
    if (skip && options.windows) {
        std::cout << "skipped for the Windows build: " << skip->arg << "\n";
        return kSkipped;
    }
    fs::path sandbox = PrepareSandbox(options.sandbox, options.caseFile);
    Root root = MakeRoot(sandbox, options.drive);
    const std::vector<std::string> env = CaseEnvironment(parsed, root);
    const std::string missing = MissingLocale(env);
    if (!missing.empty() && !options.windows) {
        std::cout << "skipped: the locale " << missing << " is not installed here\n";
        fs::remove_all(sandbox);
        return kSkipped;
    }
    CreateTree(parsed, sandbox, root, options);

    std::vector<std::string> argv = options.emulator;
    argv.push_back(fs::absolute(options.program).string());
    for (const std::string& arg : CaseArguments(parsed, root))
        argv.push_back(arg);
    fs::path cwd = CaseDirectory(parsed, sandbox, root);

    Outcome outcome;
    const Section* out = ExpectedSection(parsed, "stdout", options);
    const Section* err = ExpectedSection(parsed, "stderr", options);
    outcome.expectedOut = out ? SectionText(*out, root) : "";
    outcome.expectedErr = err ? SectionText(*err, root) : "";
    outcome.expectedExit = ExpectedExitCode(ExpectedSection(parsed, "exit", options), root);
    const std::vector<KeptFile> kept = PrepareKeptFiles(parsed, sandbox, root);
    outcome.actual = Run(argv, env, cwd, options.timeoutSeconds, CaseStdout(parsed, root));

    const std::vector<TreeDifference> tree = CheckTree(parsed, kept, sandbox, root, options);
    bool passed = Passed(outcome, options.crlf);
    if (options.update) {
        if (!passed) UpdateCase(parsed, outcome.actual, options, root);
        std::cout << (passed ? "unchanged " : "updated ") << options.caseFile.string() << "\n";
    } else if (!passed) {
        ReportFailure(outcome, options, root, argv, cwd);
    }
    // The tree is not rewritten by --update: what a file must hold is written by hand.
    if (!tree.empty() && (passed || options.update)) ReportHeader(options, root, argv, cwd);
    ReportTree(tree);
    if ((!passed && !options.update) || !tree.empty()) {
        std::cout << "\nsandbox kept: " << sandbox.string() << "\n";
        return 1;
    }
    if (!options.keep) fs::remove_all(sandbox);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = ParseOptions(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "e2e_runner: " << e.what() << "\n" << kUsage;
        return 2;
    }
    try {
        return RunCase(options);
    } catch (const std::exception& e) {
        std::cerr << "e2e_runner: " << options.caseFile.string() << ": " << e.what() << "\n";
        return 2;
    }
}
