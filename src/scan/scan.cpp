// The recursive scan: each file is found, named by its normal form, read once per run, and
// linked into the include graph.

#include <new>
#include <utility>
#include <vector>

#include "app/dependency_app.h"
#include "platform/platform.h"
#include "scan/include_node.h"
#include "scan/source_file.h"
#include "targets/file_search.h"

// What a file's scan makes active for as long as it lasts, and undoes however it ends: the file
// on the active-file stack, its directory among those its quoted includes are searched in, its
// node marked active (a file met again while active is a recursive header). The file's children
// are gathered in a list of the scan's depth, and its include names read into a text of that
// depth, both kept for the next scan at that depth; the node gets its children at once when its
// scan ends, in one block of their own size.
class CDependencyApp::CActiveScan {
public:
    CActiveScan(CDependencyApp& app, CIncludeNode& node) : m_app(app), m_node(node) {
        m_app.m_activeFiles.push_back(&node.path);
        m_app.m_resolver.EnterFile(node.path);
        node.SetActive(true);
        const size_t depth = app.m_activeFiles.size();
        if (app.m_childLists.size() < depth) app.m_childLists.emplace_back();
        if (app.m_includeNames.size() < depth) app.m_includeNames.emplace_back();
        m_children.swap(app.m_childLists[depth - 1]);
        m_children.clear();
        m_include.swap(app.m_includeNames[depth - 1]);
    }
    ~CActiveScan() {
        m_node.SetActive(false);
        m_app.m_resolver.LeaveFile();
        m_app.m_childLists[m_app.m_activeFiles.size() - 1].swap(m_children);
        m_app.m_includeNames[m_app.m_activeFiles.size() - 1].swap(m_include);
        m_app.m_activeFiles.pop_back();
    }
    CActiveScan(const CActiveScan&) = delete;
    CActiveScan& operator=(const CActiveScan&) = delete;

    void AddChild(CIncludeNode* child) { m_children.push_back(child); }
    // Gives the node its children once the scan has read what it reads of the file.
    void GiveChildren() { m_node.children.assign(m_children.begin(), m_children.end()); }
    // Where the include names of the file are read, a text of the scan's depth.
    std::string& IncludeName() { return m_include; }

private:
    CDependencyApp& m_app;
    CIncludeNode& m_node;
    std::vector<CIncludeNode*> m_children;
    std::string m_include;
};

CIncludeResolver::CResult CDependencyApp::Resolve(const std::string& name,
                                                  const std::string& includerPath, int kind) {
    CIncludeResolver::CResult result =
        m_resolver.Resolve(name, kind, m_strIncludePath, m_fileTable);
    if (result.outcome == CIncludeResolver::Outcome::NOT_FOUND) ReportNotFound(includerPath, name);
    if (result.outcome == CIncludeResolver::Outcome::KNOWN) {
        result.node = KnownFile(result.node, includerPath);
    }
    return result;
}

// Every file on the active-file stack has its node in the table, marked active, so one lookup
// answers both the recursion check and the reuse of a file scanned before.
CIncludeNode* CDependencyApp::KnownFile(CIncludeNode* known, const std::string& includerPath) {
    if (known->IsActive()) {
        ReportRecursive(includerPath, known->path);
        return nullptr;
    }
    return known;
}

CIncludeNode* CDependencyApp::NewNode(std::string path, int bSystem) {
    CIncludeNode* node = m_resolver.StoreNode(std::move(path), bSystem);
    m_fileTable.Insert(node->path, node);
    return node;
}

CIncludeNode* CDependencyApp::ScanFile(const std::string& name, const std::string& includerPath,
                                       int kind) {
    const CIncludeResolver::CResult found = Resolve(name, includerPath, kind);
    if (found.outcome != CIncludeResolver::Outcome::NEW) return found.node;
    return ScanNewFile(*found.normal, name, includerPath, kind);
}

CIncludeNode* CDependencyApp::ScanNewFile(std::string normal, const std::string& name,
                                          const std::string& includerPath, int kind) {
    // One level per level of nesting: where the stack runs short, the run ends as out of memory.
    if (StackIsLow()) throw std::bad_alloc();
    CSourceFile file;
    if (!file.Open(normal.c_str(), m_bSystemIncludes)) {
        // A pipe or a device under that name (Windows lists them) is no file to scan.
        if (file.Facts().notDiskFile) {
            ReportNotFound(includerPath, name);
        } else {
            ReportCannotOpen(includerPath, normal);
        }
        return nullptr;
    }
    if (CIncludeNode* same = m_resolver.SameFile(file.Facts(), normal, m_fileTable)) {
        return KnownFile(same, includerPath);
    }
    CIncludeNode* node = NewNode(std::move(normal), kind == KIND_ANGLE ? 1 : 0);
    m_resolver.Remember(file.Facts(), node);
    CActiveScan active(*this, *node);
    std::string& include = active.IncludeName();
    while (file.ReadInclude(include)) {
        if (m_nExitCode != 0) break;
        const int childKind = include[0] == '<' ? KIND_ANGLE : KIND_QUOTED;
        include.erase(0, 1);
        Platform().LowerCase(include);
        if (IsExcluded(include)) continue;
        const CIncludeResolver::CResult found = Resolve(include, node->path, childKind);
        if (found.outcome != CIncludeResolver::Outcome::NEW) {
            // Most includes name a file met before: only a file to scan closes this one.
            if (found.node != nullptr) active.AddChild(found.node);
            continue;
        }
        file.Close();
        if (CIncludeNode* child = ScanNewFile(*found.normal, include, node->path, childKind)) {
            active.AddChild(child);
        }
        // The first failure's exit code stands: a reopen that failed now would replace it.
        if (m_nExitCode != 0) break;
        if (!file.Reopen()) {
            // The file vanished or was locked while its include was scanned: the rest of it
            // cannot be read, so its dependency list would be incomplete.
            ReportCannotOpen(includerPath, node->path);
            break;
        }
    }
    active.GiveChildren();
    return node;
}
