// The path functions on names cut from the input at its zero bytes: splitting and joining names,
// directory lists, full paths (the native, textual ones), and the names of the rule text.
//
// Byte 0 chooses the conditions, the rest gives the names:
//   bit 0: the UTF-8 character set instead of single bytes (multibyte characters, case mapping)
//   bit 1: /A, absolute dependency names; bit 2: /A-, without the drive
//   bit 3: a directory list taken from the environment (`>NAME`), whose value is the third name
#include <clocale>
#include <string>
#include <vector>

#include "app/dependency_app.h"
#include "fuzz_support.h"
#include "output/rule_writer.h"
#include "targets/file_search.h"

namespace {

CMemoryPlatform* g_pPlatform = nullptr;
CDependencyApp* g_pPathApp = nullptr;

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void UseCharacterSet(bool utf8) {
    static int current = -1;
    if (current == static_cast<int>(utf8)) return;
    FUZZ_CHECK(std::setlocale(LC_CTYPE, utf8 ? "C.UTF-8" : "C") != nullptr);
    current = static_cast<int>(utf8);
}

void CheckSplitAndAppend(const std::string& name, const std::string& part) {
    std::string dirPart;
    std::string namePart;
    SplitSearchName(name, dirPart, namePart);
    FUZZ_CHECK(dirPart + namePart == name);
    if (!dirPart.empty()) {
        const char last = dirPart.back();
        FUZZ_CHECK(last == '\\' || last == '/' || last == ':');
    }

    std::string joined = name;
    AppendPath(joined, part);
    if (name.empty()) {
        FUZZ_CHECK(joined == part);
    } else if (part.empty()) {
        FUZZ_CHECK(joined == name);
    } else {
        FUZZ_CHECK(StartsWith(joined, name) && EndsWith(joined, part));
        FUZZ_CHECK(joined.size() == name.size() + part.size() ||
                   joined.size() == name.size() + part.size() + 1);
    }
}

// The list as a fresh cursor yields it, and as one reused from the previous input does: the
// search reuses one cursor's buffer for list after list.
void CheckPathList(const std::string& list) {
    static CPathList reused;
    CPathList fresh;
    const bool setFresh = fresh.SetList(list);
    FUZZ_CHECK(reused.SetList(list) == setFresh);
    if (!setFresh) return;
    std::string listed = list;
    if (!list.empty() && list[0] == '>') Platform().GetEnvironment(list.c_str() + 1, listed);
    std::string dir;
    std::string again;
    size_t total = 0;
    size_t count = 0;
    while (fresh.NextDir(dir)) {
        FUZZ_CHECK(!dir.empty() && dir[0] != ' ' && dir.find(';') == std::string::npos);
        total += dir.size();
        FUZZ_CHECK(total <= listed.size() && ++count <= listed.size());
        FUZZ_CHECK(reused.NextDir(again) && again == dir);
    }
    FUZZ_CHECK(dir.empty());
    FUZZ_CHECK(!fresh.NextDir(dir) && dir.empty());
    FUZZ_CHECK(!reused.NextDir(again) && again.empty());
}

// A full path on a drive: the root, then components that are neither empty nor "." ("..." stays
// a component ".."), perhaps a backslash at the end; the last ends in no dot and no blank.
bool IsResolvedDrivePath(const std::string& full) {
    if (full.size() < 3 || full[1] != ':' || full[2] != '\\') return false;
    size_t start = 3;
    while (start < full.size()) {
        size_t end = full.find('\\', start);
        if (end == std::string::npos) end = full.size();
        const std::string component = full.substr(start, end - start);
        if (component.empty() || component == ".") return false;
        if (end == full.size() && (component.back() == '.' || component.back() == ' '))
            return false;
        start = end + 1;
    }
    return true;
}

// Whether a component of a full path ends in a dot: made a full path again, it loses that dot
// (`a..\b` is `a.\b`, then `a\b`), as GetFullPathNameA does.
bool HasComponentEndingInDot(const std::string& full) {
    for (size_t dot = full.find('.'); dot != std::string::npos; dot = full.find('.', dot + 1)) {
        if (dot + 1 == full.size() || full[dot + 1] == '\\') return true;
    }
    return false;
}

bool IsRelative(const std::string& name) {
    const bool separatorFirst = !name.empty() && (name[0] == '\\' || name[0] == '/');
    const bool driveFirst =
        name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z'));
    return !name.empty() && !separatorFirst && !driveFirst;
}

void CheckFullPath(const std::string& name) {
    CPlatform& platform = Platform();
    std::string full;
    const bool made = platform.GetFullPath(name.c_str(), full);

    // Slashes and backslashes are the same separator.
    std::string backslashed = name;
    for (char& c : backslashed) {
        if (c == '/') c = '\\';
    }
    std::string same;
    FUZZ_CHECK(platform.GetFullPath(backslashed.c_str(), same) == made && same == full);

    // A relative name is the same as the current directory's full path joined to it.
    if (IsRelative(name)) {
        std::string cwd;
        FUZZ_CHECK(platform.GetFullPath(".", cwd));
        std::string joined = cwd + '\\' + name;
        FUZZ_CHECK(platform.GetFullPath(joined.c_str(), same) == made && same == full);
    }

    if (!made) {
        FUZZ_CHECK(full.empty());
        return;
    }
    FUZZ_CHECK(!full.empty() && full.size() <= platform.MaxFullPath());
    FUZZ_CHECK(full.find('/') == std::string::npos);
    FUZZ_CHECK(StartsWith(full, "\\\\") || IsResolvedDrivePath(full));

    // A full path is its own full path, unless a component ends in a dot; the name may also
    // live in the result's own string.
    std::string again;
    FUZZ_CHECK(platform.GetFullPath(full.c_str(), again));
    FUZZ_CHECK(again == full || HasComponentEndingInDot(full));
    std::string inPlace = name;
    FUZZ_CHECK(platform.GetFullPath(inPlace.c_str(), inPlace));
    FUZZ_CHECK(inPlace == full);

    std::string directory;
    FUZZ_CHECK(MakeDirectoryForm(name, directory));
    FUZZ_CHECK(directory.empty() || directory.back() == '\\');
}

// The writer gives a name made for one source directory to another that begins with the bytes
// the name depends on and has as many levels: the rest of the directory spelled otherwise (its
// single-byte characters but backslashes made `q`) names the path alike.
void CheckNameServesItsSiblings(const std::string& dir, const std::string& path,
                                const std::string& name) {
    std::string again;
    const size_t decided = g_pPathApp->MakeDependencyName(dir, path, again);
    FUZZ_CHECK(again == name && decided <= dir.size());
    std::string sibling = dir;
    for (size_t i = decided; i < sibling.size(); ++i) {
        if (static_cast<unsigned char>(sibling[i]) < 0x80 && sibling[i] != '\\') sibling[i] = 'q';
    }
    FUZZ_CHECK(g_pPathApp->MakeDependencyName(sibling, path) == name);
}

// A relative dependency name is some `..\` steps, then a tail of the path.
void CheckDependencyName(const std::string& dir, const std::string& path) {
    const std::string result = g_pPathApp->MakeDependencyName(dir, path);
    if (g_pPathApp->m_bAbsolutePaths) {
        FUZZ_CHECK(EndsWith(path, result));
        return;
    }
    size_t steps = 0;
    while (result.compare(steps, 3, "..\\") == 0)
        steps += 3;
    FUZZ_CHECK(EndsWith(path, result.substr(steps)));
    CheckNameServesItsSiblings(dir, path, result);
}

void CheckRuleNames(const std::string& name, const std::string& ext) {
    std::string object;
    std::string unknownExt;
    if (MakeObjectName(name, ext, object, unknownExt)) {
        FUZZ_CHECK(unknownExt.empty());
        if (!ext.empty() && object != name) FUZZ_CHECK(EndsWith(object, ext));
    } else {
        FUZZ_CHECK(object == name && EndsWith(name, unknownExt));
    }
    FUZZ_CHECK(EndsWith(MakeMacroName(name), "_DEP"));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static CMemoryPlatform platform;
    g_pPlatform = &platform;
    // Only MakeDependencyName is wanted of the application; without a target its run just says
    // so on standard error.
    static char program[] = "incwalk32";
    static char nologo[] = "/nologo";
    static char* argv[] = {program, nologo, nullptr};
    FILE* const realStderr = stderr;
    FILE* const null = std::fopen("/dev/null", "w");
    FUZZ_CHECK(null != nullptr);
    stderr = null;
    static CDependencyApp app(2, argv);
    stderr = realStderr;
    std::fclose(null);
    g_pPathApp = &app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    std::vector<std::string> names = SplitAtNul(data + 1, size - 1, 4);
    names.resize(4);
    const std::string& first = names[0];
    const std::string& second = names[1];
    UseCharacterSet((flags & 1) != 0);
    g_pPathApp->m_bAbsolutePaths = (flags & 2) != 0;
    g_pPathApp->m_bOmitDrive = (flags & 4) != 0;
    g_pPlatform->environment = {{names[3], names[2]}};

    CheckSplitAndAppend(first, second);
    CheckPathList((flags & 8) != 0 ? ">" + names[3] : names[2]);
    CheckFullPath(first);
    CheckRuleNames(first, second);

    // Dependency names as the program makes them, from normal and directory forms, and from raw
    // text, which they must survive too.
    CheckDependencyName(first, second);
    std::string dir;
    std::string path;
    if (MakeDirectoryForm(first, dir) && MakeNormalForm(second, path)) {
        CheckDependencyName(dir, path);
    }
    return 0;
}
