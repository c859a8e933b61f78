// The makefile text of one source file: the plain rule, the macro-based block or the tree.
#include "output/rule_writer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "app/dependency_app.h"
#include "output/output_stream.h"
#include "platform/ascii.h"
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

// The length of the start that two texts share, where their first `from` bytes are known alike.
size_t SharedLength(const std::string& a, const std::string& b, size_t from) {
    const size_t limit = std::min(a.size(), b.size());
    size_t shared = from;
    while (limit - shared >= 8 && std::memcmp(a.data() + shared, b.data() + shared, 8) == 0)
        shared += 8;
    while (shared < limit && a[shared] == b[shared])
        ++shared;
    return shared;
}

// Whether two normal forms stand on the same root (the drive letter compared without regard to
// letter case); `root` is its length.
bool SameRoot(const std::string& dir, const std::string& path, size_t& root) {
    root = RootLength(dir);
    if (root == 0 || RootLength(path) != root) return false;
    if (root == 3) return AsciiLower(dir[0]) == AsciiLower(path[0]) && dir[1] == path[1];
    return dir.compare(0, root, path, 0, root) == 0;
}

// The lines of a rule's names after its head, a tab before each; the first one stands on the
// head's own line when `headTakesFirst`. Sized once and copied in: a rule may list thousands.
void AppendRuleLines(CRuleText& text, const std::vector<CRuleLine>& lines, bool headTakesFirst) {
    size_t size = 0;
    for (const CRuleLine& line : lines)
        size += 3 + line.name->size() + line.endLength;
    if (headTakesFirst && !lines.empty()) --size;
    char* out = text.Extend(size);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0 || !headTakesFirst) *out++ = '\t';
        *out++ = '"';
        std::memcpy(out, lines[i].name->data(), lines[i].name->size());
        out += lines[i].name->size();
        *out++ = '"';
        std::memcpy(out, lines[i].end, lines[i].endLength);
        out += lines[i].endLength;
    }
}

// What ends a line: more of the rule follows, or the rule's last dependency, or its last /U text.
const char CONTINUED[] = " \\\n";
const char LAST[] = "\n";
const char LAST_UNIVERSAL[] = " \n";

CRuleLine Line(const std::string& name, const char* end, size_t endSize) {
    return CRuleLine{&name, end, endSize - 1};
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
    // A node met again has had its whole subtree collected at its first visit (the graph has no
    // cycles), so walking it again would add nothing and costs time exponential in the sharing
    // of headers.
    g_pApp->RuleScratch().m_walk.Collect(*this, g_pApp->m_ruleDeps);
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
    std::string name;
    MakeDependencyName(dir, path, name);
    return name;
}

size_t CDependencyApp::MakeDependencyName(const std::string& dir, const std::string& path,
                                          std::string& name) const {
    if (m_bAbsolutePaths) {
        const bool dropDrive = m_bOmitDrive && path.size() > 2 && path[1] == ':';
        name.assign(path, dropDrive ? 2 : 0, std::string::npos);
        return 0;
    }
    size_t root = 0;
    if (!SameRoot(dir, path, root)) {
        name = path;
        return root != 0 ? root : dir.size();  // another root: the root alone decides
    }
    // The directories the two share are those whose backslash lies within the bytes they share.
    // Components end at backslashes that are characters of their own, never at the trail byte
    // of a multibyte character.
    const size_t shared = SharedLength(dir, path, root);
    size_t d = root;
    for (;;) {
        const size_t backslash = FindBackslash(dir, d);
        if (backslash == std::string::npos || backslash >= shared) break;
        d = backslash + 1;
    }
    // A directory that shares `dir`'s first component beyond the shared ones shares no more of
    // `path` either; with as many levels it takes as many steps up.
    const size_t differing = FindBackslash(dir, d);
    const size_t decided = differing == std::string::npos ? dir.size() : differing + 1;
    if (d == root) {
        name = path;
        return decided;
    }
    name.clear();
    for (size_t level = differing; level != std::string::npos;
         level = FindBackslash(dir, level + 1)) {
        name += "..\\";
    }
    name.append(path, d, std::string::npos);
    return decided;
}

inline const std::string& CDependencyApp::DisplayName(CIncludeNode& node, const std::string& dir) {
    if (node.isSystem && m_ruleScratch.IsMakeText(node)) return node.path;
    if (const std::string* kept = m_ruleScratch.KeptName(node)) return *kept;
    std::string& name = m_ruleScratch.NameToMake(node);
    if (node.isSystem) {
        name = node.path;
        m_ruleScratch.NameDecidedBy(node, 0);
    } else {
        m_ruleScratch.NameDecidedBy(node, MakeDependencyName(dir, node.path, name));
    }
    if (!m_ruleScratch.IsMakeText(node)) MakeText(name);
    return name;
}

void CDependencyApp::WriteRule(CTargetSource& source) {
    CIncludeNode* root = source.m_pRoot;
    if (m_bHierarchical) {
        root->PrintTree(0);
        return;
    }
    m_ruleDeps.clear();
    m_ruleScratch.BeginRule(source.m_strDir);
    m_ruleScratch.m_walk.AddNodes(m_resolver.NodeCount(),
                                  [this](size_t i) -> CIncludeNode& { return m_resolver.Node(i); });
    root->CollectDependencies();
    std::string& objName = m_ruleScratch.m_strObjName;
    if (ObjectName(source, objName)) {
        if (m_bMainObj || m_bMainDep) m_objNames.push_back(objName);
        const std::string& display = SourceName(source);
        ListRuleLines(source, display);
        if (m_bMacroFormat) {
            WriteMacroBlock(source, objName, display);
        } else {
            WritePlainRule(objName, display);
        }
    }
    m_ruleDeps.clear();
}

bool CDependencyApp::ObjectName(const CTargetSource& source, std::string& objName) {
    std::string& unknownExt = m_ruleScratch.m_strUnknownExt;
    if (!MakeObjectName(source.m_strName, m_strTargetExt, objName, unknownExt)) {
        ReportUnknownExtension(unknownExt);
        if (EndsRun(m_nErrUnknownExt)) return false;
    }
    // Names from the file system are written as make reads them back: a `$` doubled.
    MakeText(objName);
    return true;
}

// The root's path is the normal form of the matched name, unless the scan met the file before
// under another name.
const std::string& CDependencyApp::SourcePath(const CTargetSource& source) {
    std::string& path = m_ruleScratch.m_strSourcePath;
    if (m_resolver.MetUnderTwoNames() && MakeNormalForm(source.m_strName, path)) return path;
    return source.m_pRoot->path;
}

const std::string& CDependencyApp::SourceName(const CTargetSource& source) {
    std::string& name = m_ruleScratch.m_strSourceName;
    const std::string& path = SourcePath(source);
    if (source.m_pRoot->isSystem) {
        name = path;
    } else {
        MakeDependencyName(source.m_strDir, path, name);
    }
    MakeText(name);
    return name;
}

// Each line continues the rule unless its place in the list of the source's nodes and the
// universal dependencies is the last: the source's own node counts (it is first), and so does a
// node whose name reads as the source's, though neither is written.
void CDependencyApp::ListRuleLines(const CTargetSource& source, const std::string& display) {
    std::vector<CRuleLine>& lines = m_ruleScratch.m_lines;
    lines.clear();
    const size_t total = m_ruleDeps.size() + m_universals.size();
    for (size_t i = 1; i < m_ruleDeps.size(); ++i) {
        const std::string& name = DisplayName(*m_ruleDeps[i], source.m_strDir);
        if (name == display) continue;
        lines.push_back(i + 1 < total ? Line(name, CONTINUED, sizeof CONTINUED)
                                      : Line(name, LAST, sizeof LAST));
        if (m_bEmptyRules) m_ruleScratch.m_dependencyNames.Add(name);
    }
    for (size_t j = 0; j < m_universals.size(); ++j) {
        lines.push_back(j + 1 < m_universals.size()
                            ? Line(m_universals[j], CONTINUED, sizeof CONTINUED)
                            : Line(m_universals[j], LAST_UNIVERSAL, sizeof LAST_UNIVERSAL));
    }
}

// The rule is put together in one text and written at once.
void CDependencyApp::WritePlainRule(const std::string& objName, const std::string& display) {
    CRuleText& text = m_ruleScratch.m_ruleText;
    text.Clear();
    text.Append('"');
    text.Append(m_strObjPath);
    text.Append(objName);
    text.Append("\": ", 3);
    text.Append('"');
    text.Append(display);
    text.Append('"');
    if (m_ruleDeps.size() + m_universals.size() >= 2) {
        text.Append(" \\\n", 3);
    } else {
        text.Append('\n');
    }
    AppendRuleLines(text, m_ruleScratch.m_lines, false);
    text.Append('\n');
    WriteOutput(text.Data(), text.Size());
}

void CDependencyApp::WriteMacroBlock(const CTargetSource& source, const std::string& objName,
                                     const std::string& display) {
    const std::string& macro =
        m_ruleScratch.m_macroNames.NameOf(SourcePath(source), MakeMacroName(display));
    CRuleText& text = m_ruleScratch.m_ruleText;
    text.Clear();
    text.Append(macro);
    if (m_ruleDeps.size() + m_universals.size() == 1) {
        text.Append(" = \n", 4);
    } else {
        text.Append(" = ", 3);
    }
    AppendRuleLines(text, m_ruleScratch.m_lines, true);
    text.Append('\n');
    m_macroRules.push_back('"' + m_strObjPath + objName + "\": " + display + " $(" + macro + ")");
    WriteOutput(text.Data(), text.Size());
}
