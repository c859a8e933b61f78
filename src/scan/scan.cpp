// The recursive scan: each file is found, named by its normal form, read once per run, and
// linked into the include graph.

#include <new>

#include "app/dependency_app.h"
#include "platform/platform.h"
#include "scan/include_node.h"
#include "scan/source_file.h"
#include "targets/file_search.h"

bool CDependencyApp::Resolve(const std::string& name, const std::string& includerPath, int kind,
                             CIncludeNode*& node) {
    switch (m_resolver.Resolve(name, kind, m_strIncludePath, m_fileTable, node)) {
        case CIncludeResolver::Outcome::NOT_FOUND:
            ReportNotFound(includerPath, name);
            node = nullptr;
            return false;
        case CIncludeResolver::Outcome::KNOWN:
            node = KnownFile(node, includerPath);
            return false;
        case CIncludeResolver::Outcome::NEW:
            break;
    }
    return true;
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

CIncludeNode* CDependencyApp::NewNode(const std::string& path, int bSystem) {
    CIncludeNode* node = m_resolver.StoreNode(path, bSystem);
    m_fileTable.emplace(path, node);
    return node;
}

CIncludeNode* CDependencyApp::ScanFile(const std::string& name, const std::string& includerPath,
                                       int kind) {
    CIncludeNode* node = nullptr;
    if (!Resolve(name, includerPath, kind, node)) return node;
    return ScanNewFile(m_resolver.Normal(), name, includerPath, kind);
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
    CIncludeNode* node = NewNode(normal, kind == KIND_ANGLE ? 1 : 0);
    m_resolver.Remember(file.Facts(), node);
    m_activeFiles.push_back(normal);
    m_resolver.EnterFile(normal);
    node->SetActive(true);
    std::string include;
    while (file.ReadInclude(include)) {
        if (m_nExitCode != 0) break;
        const int childKind = include[0] == '<' ? KIND_ANGLE : KIND_QUOTED;
        include.erase(0, 1);
        Platform().LowerCase(include);
        if (IsExcluded(include)) continue;
        CIncludeNode* child = nullptr;
        const bool toScan = Resolve(include, normal, childKind, child);
        // Only a file to scan closes this one: most includes name a file met before, and at
        // most one file is open at any depth.
        if (toScan) {
            file.Close();
            child = ScanNewFile(m_resolver.Normal(), include, normal, childKind);
        }
        if (child != nullptr) node->AddChild(child);
        if (!toScan) continue;
        // The first failure's exit code stands: a reopen that failed now would replace it.
        if (m_nExitCode != 0) break;
        if (!file.Reopen()) {
            // The file vanished or was locked while its include was scanned: the rest of it
            // cannot be read, so its dependency list would be incomplete.
            ReportCannotOpen(includerPath, normal);
            break;
        }
    }
    node->SetActive(false);
    m_activeFiles.pop_back();
    m_resolver.LeaveFile();
    return node;
}
