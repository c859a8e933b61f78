// The makefile text of one source file: the plain rule, the macro-based block or the tree.
#include "output/rule_writer.h"

#include <cctype>
#include <cstring>

#include "app/dependency_app.h"
#include "platform/platform.h"
#include "scan/include_node.h"
#include "targets/file_search.h"
#include "targets/target_source.h"

unsigned CIncludeNode::s_nCollectPass = 0;

namespace {

size_t FindExtensionDot(const std::string& name) {
    const size_t backslash = FindLastBackslash(name);
    if (backslash == std::string::npos) return name.rfind('.');
    return name.find('.', backslash + 1);
}

}  // namespace

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
    if (m_nCollectPass == s_nCollectPass) return;
    m_nCollectPass = s_nCollectPass;
    g_pApp->m_ruleDeps.push_back(this);
    cursor = 0;
    while (CIncludeNode* child = NextChild())
        child->CollectDependencies();
}

void CIncludeNode::PrintTree(int depth) {
    for (int i = 0; i < depth; ++i)
        std::fputs("   ", stdout);
    std::fprintf(stdout, "%s\n", path.c_str());
    cursor = 0;
    while (CIncludeNode* child = NextChild())
        child->PrintTree(depth + 1);
}

std::string CDependencyApp::MakeDependencyName(const std::string& dir,
                                               const std::string& path) const {
    std::string name;
    AppendDependencyName(name, dir, path);
    return name;
}

void CDependencyApp::AppendDependencyName(std::string& out, const std::string& dir,
                                          const std::string& path) const {
    if (m_bAbsolutePaths) {
        const bool dropDrive = m_bOmitDrive && path.size() > 2 && path[1] == ':';
        out.append(path, dropDrive ? 2 : 0, std::string::npos);
        return;
    }
    if (dir.size() < 3 || path.size() < 3 ||
        std::tolower(static_cast<unsigned char>(dir[0])) !=
            std::tolower(static_cast<unsigned char>(path[0])) ||
        std::tolower(static_cast<unsigned char>(dir[1])) !=
            std::tolower(static_cast<unsigned char>(path[1]))) {
        out += path;
        return;
    }
    size_t d = 3;
    size_t p = 3;
    int matched = 0;
    for (;;) {
        const size_t backslash = dir.find('\\', d);
        if (backslash == std::string::npos) break;
        const size_t length = backslash + 1 - d;
        if (path.size() - p < length || path.compare(p, length, dir, d, length) != 0) break;
        d += length;
        p += length;
        ++matched;
    }
    if (matched == 0) {
        out += path;
        return;
    }
    for (size_t i = d; i < dir.size(); ++i) {
        if (dir[i] == '\\') out += "..\\";
    }
    out.append(path, p, std::string::npos);
}

const std::string& CDependencyApp::DisplayName(CIncludeNode& node, const std::string& dir) {
    if (node.isSystem) return node.path;
    if (const std::string* cached = node.CachedName(dir)) return *cached;
    m_strDependencyName.clear();
    AppendDependencyName(m_strDependencyName, dir, node.path);
    node.CacheName(dir, m_strDependencyName);
    return m_strDependencyName;
}

void CDependencyApp::WriteRule(CTargetSource& source) {
    CIncludeNode* root = source.m_pRoot;
    if (m_bHierarchical) {
        root->PrintTree(0);
        return;
    }
    m_ruleDeps.clear();
    CIncludeNode::BeginCollection();
    root->CollectDependencies();

    std::string objName;
    std::string unknownExt;
    if (!MakeObjectName(source.m_strName, m_strTargetExt, objName, unknownExt)) {
        ReportCondition(m_nErrUnknownExt, EXIT_UNKNOWN_EXT, false,
                        "incwalk32: unknown extension '%s', use '=ext' with target\n",
                        unknownExt.c_str());
        if (m_nErrUnknownExt >= 2) {
            m_ruleDeps.clear();
            return;
        }
    }

    // The root's path is the normal form of the matched name: the scan made it from that name.
    const std::string& fullName = root->path;
    const std::string display =
        root->isSystem ? fullName : MakeDependencyName(source.m_strDir, fullName);
    if (m_bMainObj || m_bMainDep) m_objNames.push_back(objName);

    // The rule is put together in one text and written at once: a rule may list thousands of
    // headers.
    std::string& text = m_strRuleText;
    text.clear();
    const size_t total = m_ruleDeps.size() + m_universals.size();
    const std::string target = QuoteName(m_strObjPath + objName);
    bool continuesHead = false;
    if (m_bMacroFormat) {
        const std::string macro = MakeMacroName(display);
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
        const std::string& name = DisplayName(*node, source.m_strDir);
        if (name == display) continue;
        if (!continuesHead) text += '\t';
        continuesHead = false;
        AppendQuoted(text, name);
        text += i + 1 < total ? " \\\n" : "\n";
    }
    for (size_t j = 0; j < m_universals.size(); ++j) {
        if (!continuesHead) text += '\t';
        continuesHead = false;
        AppendQuoted(text, m_universals[j]);
        text += j + 1 < m_universals.size() ? " \\\n" : " \n";
    }
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    m_ruleDeps.clear();
}
