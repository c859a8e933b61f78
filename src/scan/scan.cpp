// The recursive scan: each file is found, named by its normal form, read once per run, and
// linked into the include graph.

#include <new>

#include "app/dependency_app.h"
#include "platform/platform.h"
#include "scan/include_node.h"
#include "scan/source_file.h"
#include "targets/file_search.h"

namespace {

bool TakeFirstMatch(CFileSearch& search, const std::string& name, const std::string& list,
                    int flags, std::string& match) {
    if (!search.FindFirst(name, list, flags)) return false;
    search.FindNext(match);
    return true;
}

}  // namespace

bool CDependencyApp::FindInclude(const std::string& name, int kind, std::string& match,
                                 CListAnswer*& answer) {
    answer = nullptr;
    CFileSearch& search = m_includeSearch;
    if (kind == KIND_SOURCE) return TakeFirstMatch(search, name, std::string(), 0, match);
    if (kind == KIND_QUOTED && m_activeDirs.AnyOf([&](const std::string& dir) {
            return TakeFirstMatch(search, name, dir, SEARCH_LIST_ONLY, match);
        })) {
        return true;
    }
    answer = &AnswerAlongIncludePaths(name);
    // A node known for the answer needs no match: its path is the match's normal form.
    if (answer->node != nullptr) return true;
    match = answer->match;
    return !match.empty();
}

CListAnswer& CDependencyApp::AnswerAlongIncludePaths(const std::string& name) {
    auto known = m_listAnswers.find(name);
    if (known != m_listAnswers.end()) return known->second;
    CListAnswer& answer = m_listAnswers[name];
    CFileSearch& search = m_includeSearch;
    const bool found =
        (!m_strIncludePath.empty() &&
         TakeFirstMatch(search, name, m_strIncludePath, SEARCH_LIST_ONLY, answer.match)) ||
        TakeFirstMatch(search, name, ">INCLUDE", SEARCH_LIST_ONLY, answer.match);
    if (!found) answer.match.clear();
    return answer;
}

CIncludeNode* CDependencyApp::KnownFile(CIncludeNode* known, const std::string& includerPath) {
    if (known->IsActive()) {
        ReportRecursive(includerPath, known->path);
        return nullptr;
    }
    return known;
}

CIncludeNode* CDependencyApp::NewNode(const std::string& path, int bSystem) {
    m_nodes.emplace_back(path, bSystem);
    CIncludeNode* node = &m_nodes.back();
    m_fileTable.emplace(path, node);
    return node;
}

CIncludeNode* CDependencyApp::ScanFile(const std::string& name, const std::string& includerPath,
                                       int kind) {
    return ScanFile(name, includerPath, kind, nullptr);
}

CIncludeNode* CDependencyApp::ScanFile(const std::string& name, const std::string& includerPath,
                                       int kind, CSourceFile* includer) {
    // One level per level of nesting: where the stack runs short, the run ends as out of memory.
    if (StackIsLow()) throw std::bad_alloc();
    CListAnswer* answer = nullptr;
    const bool found = FindInclude(name, kind, m_strMatch, answer);
    CIncludeNode* known = answer != nullptr ? answer->node : nullptr;
    if (known == nullptr) {
        // A path too long for the platform cannot be named, so it counts as not found.
        if (!found || !MakeNormalForm(m_strMatch, m_strNormal)) {
            ReportNotFound(includerPath, name);
            return nullptr;
        }
        auto entry = m_fileTable.find(m_strNormal);
        if (entry != m_fileTable.end()) {
            known = entry->second;
            if (answer != nullptr) answer->KnowNode(known);
        }
    }
    // Every file on the active-file stack has its node in the table, marked active, so one
    // lookup answers both the recursion check and the reuse of a file scanned before.
    if (known != nullptr) return KnownFile(known, includerPath);
    // A file to scan: its name must outlive the scans of its includes.
    const std::string normal = m_strNormal;

    // The includer is closed only now, when another file is about to be opened: an include of
    // a file scanned before, or one that is refused, opens nothing, and most includes are such.
    if (includer != nullptr) includer->Close();
    CSourceFile file;
    if (!file.Open(normal.c_str(), m_bSystemIncludes)) {
        if (file.Facts().notDiskFile) {
            // A pipe or a device under that name (Windows lists them) is no file to scan.
            ReportNotFound(includerPath, name);
            return nullptr;
        }
        ReportCannotOpen(includerPath, normal);
        return nullptr;
    }
    // A file met before under another name (through a link, or a hard link) is that file: a
    // tree that links back into itself would otherwise have a new file at every spelling.
    const CFileFacts& facts = file.Facts();
    if (facts.hasIdentity) {
        auto same = m_nodeByIdentity.find(CFileKey{facts.volume, facts.index});
        if (same != m_nodeByIdentity.end()) {
            file.Close();
            m_fileTable.emplace(normal, same->second);
            m_bAliases = true;
            if (answer != nullptr) answer->KnowNode(same->second);
            return KnownFile(same->second, includerPath);
        }
    }
    CIncludeNode* node = NewNode(normal, kind == KIND_ANGLE ? 1 : 0);
    if (facts.hasIdentity) m_nodeByIdentity.emplace(CFileKey{facts.volume, facts.index}, node);
    m_activeFiles.push_back(normal);
    m_activeDirs.Push(DirectoryOf(normal));
    node->SetActive(true);
    std::string include;
    while (file.ReadInclude(include)) {
        if (m_nExitCode != 0) break;
        const int childKind = include[0] == '<' ? KIND_ANGLE : KIND_QUOTED;
        include.erase(0, 1);
        Platform().LowerCase(include);
        if (IsExcluded(include)) continue;
        CIncludeNode* child = ScanFile(include, normal, childKind, &file);
        if (child != nullptr) node->AddChild(child);
        // The first failure's exit code stands: a reopen that failed now would replace it.
        if (m_nExitCode != 0) break;
        if (!file.IsOpen() && !file.Reopen()) {
            // The file vanished or was locked while its include was scanned: the rest of it
            // cannot be read, so its dependency list would be incomplete.
            ReportCannotOpen(includerPath, normal);
            break;
        }
    }
    node->SetActive(false);
    m_activeFiles.pop_back();
    m_activeDirs.Pop();
    file.Close();
    return node;
}
