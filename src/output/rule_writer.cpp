// The makefile text of one source file: the plain rule, the macro-based block or the tree.
#include "output/rule_writer.h"

#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "app/dependency_app.h"
#include "output/output_stream.h"
#include "platform/platform.h"
#include "scan/include_node.h"
#include "targets/file_search.h"
#include "targets/target_source.h"

namespace {

size_t FindExtensionDot(const std::string& name) {
    const size_t backslash = FindLastBackslash(name);
    if (backslash == std::string::npos) return name.rfind('.');
    return name.find('.', backslash + 1);
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The length of the root of a normal form: `c:\` for a drive, `\\server\share\` for a network
// path; 0 for any other form.
size_t RootLength(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return 3;
    if (path.size() < 2 || path[0] != '\\' || path[1] != '\\') return 0;
    const size_t share = FindBackslash(path, 2);
    if (share == std::string::npos) return 0;
    const size_t end = FindBackslash(path, share + 1);
    return end == std::string::npos ? 0 : end + 1;
}

// Whether two normal forms stand on the same root (the drive letter compared without regard to
// letter case); `root` is its length.
bool SameRoot(const std::string& dir, const std::string& path, size_t& root) {
    root = RootLength(dir);
    if (root == 0 || RootLength(path) != root) return false;
    if (root == 3) return AsciiLower(dir[0]) == AsciiLower(path[0]) && dir[1] == path[1];
    return dir.compare(0, root, path, 0, root) == 0;
}

}  // namespace

void AppendMakeText(std::string& out, const std::string& name) {
    size_t from = 0;
    for (size_t dollar = name.find('$'); dollar != std::string::npos;
         dollar = name.find('$', from)) {
        out.append(name, from, dollar + 1 - from);
        out += '$';
        from = dollar + 1;
    }
    out.append(name, from, std::string::npos);
}

void MakeText(std::string& name) {
    if (name.find('$') == std::string::npos) return;
    std::string text;
    AppendMakeText(text, name);
    name.swap(text);
}

std::string QuoteName(const std::string& text) {
    std::string quoted;
    AppendQuoted(quoted, text);
    return quoted;
}

void AppendQuoted(std::string& text, const std::string& name) {
    text += '"';
    text += name;
    text += '"';
}

std::string MakeMacroName(const std::string& displayName) {
    const size_t backslash = FindLastBackslash(displayName);
    std::string name =
        backslash == std::string::npos ? displayName : displayName.substr(backslash + 1);
    const size_t dot = name.find('.');
    if (dot != std::string::npos) name[dot] = '_';
    name += "_DEP";
    Platform().UpperCase(name);
    return name;
}

const std::string& CMacroNames::NameOf(const std::string& source, const std::string& name) {
    const auto known = m_bySource.find(source);
    if (known != m_bySource.end()) return known->second;
    std::string free = name;
    if (m_taken.count(free) != 0) {
        static const char SUFFIX[] = "_DEP";
        const std::string stem = name.substr(0, name.size() - (sizeof SUFFIX - 1));
        for (unsigned long n = 2; m_taken.count(free) != 0; ++n)
            free = stem + '_' + std::to_string(n) + SUFFIX;
    }
    m_taken.insert(free);
    return m_bySource.emplace(source, std::move(free)).first->second;
}

bool MakeObjectName(const std::string& matchedName, const std::string& targetExt,
                    std::string& object, std::string& unknownExt) {
    unknownExt.clear();
    const size_t dot = FindExtensionDot(matchedName);
    object = matchedName;
    if (dot == std::string::npos) return true;
    object.resize(dot + 1);
    if (!targetExt.empty()) {
        object += targetExt;
        return true;
    }
    const char* ext = matchedName.c_str() + dot + 1;
    if (std::strcmp(ext, "cpp") == 0 || std::strcmp(ext, "c") == 0) {
        object += "obj";
    } else if (std::strcmp(ext, "rc") == 0) {
        object += "res";
    } else {
        object = matchedName;
        unknownExt = ext;
        return false;
    }
    return true;
}

void CIncludeNode::CollectDependencies() {
    // A node met again has had its whole subtree collected at its first visit (the graph has
    // no cycles), so walking it again would add nothing and costs time exponential in the
    // sharing of headers.
    if (!g_pApp->RuleScratch().FirstVisit(*this)) return;
    if (StackIsLow()) throw std::bad_alloc();
    g_pApp->m_ruleDeps.push_back(this);
    cursor = 0;
    while (CIncludeNode* child = NextChild())
        child->CollectDependencies();
}

void CIncludeNode::PrintTree(int depth) {
    if (StackIsLow()) throw std::bad_alloc();
    std::string line;
    for (int i = 0; i < depth; ++i)
        line += "   ";
    AppendMakeText(line, path);
    line += '\n';
    WriteOutput(line);
    cursor = 0;
    while (CIncludeNode* child = NextChild())
        child->PrintTree(depth + 1);
}

std::string CDependencyApp::MakeDependencyName(const std::string& dir,
                                               const std::string& path) const {
    if (m_bAbsolutePaths) {
        const bool dropDrive = m_bOmitDrive && path.size() > 2 && path[1] == ':';
        return path.substr(dropDrive ? 2 : 0);
    }
    size_t root = 0;
    if (!SameRoot(dir, path, root)) return path;
    // Components end at backslashes that are characters of their own, never at the trail byte
    // of a multibyte character.
    size_t d = root;
    size_t p = root;
    int matched = 0;
    for (;;) {
        const size_t backslash = FindBackslash(dir, d);
        if (backslash == std::string::npos) break;
        const size_t length = backslash + 1 - d;
        if (path.size() - p < length || path.compare(p, length, dir, d, length) != 0) break;
        d += length;
        p += length;
        ++matched;
    }
    if (matched == 0) return path;
    std::string name;
    for (size_t level = FindBackslash(dir, d); level != std::string::npos;
         level = FindBackslash(dir, level + 1)) {
        name += "..\\";
    }
    name.append(path, p, std::string::npos);
    return name;
}

inline const std::string& CDependencyApp::DisplayName(CIncludeNode& node, const std::string& dir) {
    if (node.isSystem && m_ruleScratch.IsMakeText(node)) return node.path;
    if (const std::string* cached = m_ruleScratch.CachedName(node, dir)) return *cached;
    return NewDisplayName(node, dir);
}

const std::string& CDependencyApp::NewDisplayName(CIncludeNode& node, const std::string& dir) {
    std::string name = node.isSystem ? node.path : MakeDependencyName(dir, node.path);
    if (!m_ruleScratch.IsMakeText(node)) MakeText(name);
    return m_ruleScratch.CacheName(node, dir, std::move(name));
}

void CDependencyApp::WriteRule(CTargetSource& source) {
    CIncludeNode* root = source.m_pRoot;
    if (m_bHierarchical) {
        root->PrintTree(0);
        return;
    }
    m_ruleDeps.clear();
    m_ruleScratch.BeginCollection(m_resolver.NodeCount());
    root->CollectDependencies();

    std::string objName;
    std::string unknownExt;
    if (!MakeObjectName(source.m_strName, m_strTargetExt, objName, unknownExt)) {
        ReportUnknownExtension(unknownExt);
        if (m_nErrUnknownExt >= 2) {
            m_ruleDeps.clear();
            return;
        }
    }

    // Names from the file system are written as make reads them back: a `$` doubled.
    MakeText(objName);
    // The root's path is the normal form of the matched name, unless the scan met the file
    // before under another name.
    std::string fullName = root->path;
    if (m_resolver.MetUnderTwoNames() && !MakeNormalForm(source.m_strName, fullName))
        fullName = root->path;
    std::string display = root->isSystem ? fullName : MakeDependencyName(source.m_strDir, fullName);
    MakeText(display);
    if (m_bMainObj || m_bMainDep) m_objNames.push_back(objName);

    // The rule is put together in one text and written at once: a rule may list thousands of
    // headers.
    std::string& text = m_ruleScratch.m_strRuleText;
    text.clear();
    const size_t total = m_ruleDeps.size() + m_universals.size();
    const std::string target = QuoteName(m_strObjPath + objName);
    bool continuesHead = false;
    if (m_bMacroFormat) {
        const std::string& macro =
            m_ruleScratch.m_macroNames.NameOf(fullName, MakeMacroName(display));
        text += macro;
        text += total == 1 ? " = \n" : " = ";
        m_macroRules.push_back(target + ": " + display + " $(" + macro + ")");
        continuesHead = true;
    } else {
        text += target;
        text += ": ";
        AppendQuoted(text, display);
        text += total >= 2 ? " \\\n" : "\n";
    }

    for (size_t i = 0; i < m_ruleDeps.size(); ++i) {
        CIncludeNode* node = m_ruleDeps[i];
        // The source's own node is first; under the name it was first met by, it may not
        // read as the source.
        const std::string& name = DisplayName(*node, source.m_strDir);
        if (i == 0 || name == display) continue;
        if (!continuesHead) text += '\t';
        continuesHead = false;
        AppendQuoted(text, name);
        text += i + 1 < total ? " \\\n" : "\n";
        if (m_bEmptyRules) m_ruleScratch.m_dependencyNames.Add(name);
    }
    for (size_t j = 0; j < m_universals.size(); ++j) {
        if (!continuesHead) text += '\t';
        continuesHead = false;
        AppendQuoted(text, m_universals[j]);
        text += j + 1 < m_universals.size() ? " \\\n" : " \n";
    }
    text += '\n';
    WriteOutput(text);
    m_ruleDeps.clear();
}
