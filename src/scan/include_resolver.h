// Where an include name leads, decided before anything is opened.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include "platform/platform.h"
#include "platform/text_map.h"
#include "scan/active_dirs.h"
#include "scan/include_node.h"
#include "targets/file_search.h"

// Scan kinds: how the file to scan was named.
enum { KIND_SOURCE = 0, KIND_QUOTED = 1, KIND_ANGLE = 2 };

// Normal form to node, for the whole run. The keys are the nodes' own paths (and the names of
// files met under a second name, which the resolver keeps), so a file costs no copy of its name.
typedef CTextIndex<CIncludeNode*> CFileTable;

// The search of an include along the directories of the active files, the /I path and INCLUDE,
// and what makes it cheap: the answer kept for each name searched along the /I path and
// INCLUDE (most names are included from many files, and neither those lists nor the files
// change during a run), and the files known by their identity, so that one reached under a
// second name (a link, a hard link) is the file met before. It also keeps the nodes of the
// run; the application's file table refers to them by normal form.
class CIncludeResolver {
public:
    enum class Outcome {
        NOT_FOUND,  // no file matches, or its full path is too long to be made
        KNOWN,      // a file scanned before, or being scanned: its node
        NEW,        // a file to open and scan: its normal form
    };
    // Where a name leads. The normal form of a NEW file lives in the resolver until the next
    // resolution.
    struct CResult {
        Outcome outcome;
        CIncludeNode* node;         // for KNOWN
        const std::string* normal;  // for NEW
    };

    // Resolves `name` of `kind` (KIND_SOURCE, KIND_QUOTED or KIND_ANGLE) with the /I path
    // `includePath`.
    CResult Resolve(const std::string& name, int kind, const std::string& includePath,
                    const CFileTable& table);

    // The node of the file last resolved as NEW when it is a file met before under another
    // name: the new name is entered in the table, and the kept answer learns the node. Null for
    // a file met for the first time, which Remember then records.
    CIncludeNode* SameFile(const CFileFacts& facts, const std::string& normal, CFileTable& table);
    void Remember(const CFileFacts& facts, CIncludeNode* node);
    // Whether some file was met under a second name: a node's path is then not always the
    // normal form of the name that reached it.
    bool MetUnderTwoNames() const { return m_bAliases; }

    // A new node, kept side by side with the others in the order of their scans, so that a
    // rule's walk of the graph finds related nodes close together in memory.
    CIncludeNode* StoreNode(std::string path, int bSystem) {
        m_nodes.emplace_back(std::move(path), bSystem, m_nodes.size());
        return &m_nodes.back();
    }
    size_t NodeCount() const { return m_nodes.size(); }
    CIncludeNode& Node(size_t index) { return m_nodes[index]; }

    // The directory of a file whose scan begins, or ends: quoted includes are searched there.
    // The file's path outlives its scan.
    void EnterFile(const std::string& normal);
    void LeaveFile() { m_activeDirs.Pop(); }

private:
    // What the search along the /I path and INCLUDE found for an include name: the match (empty
    // when nothing) until the scan has met the matched file, then its node.
    struct CListAnswer {
        std::string match;
        CIncludeNode* node = nullptr;
    };

    bool TakeFirstMatch(const std::string& name, std::string_view list, int flags,
                        std::string& match);
    bool Find(const std::string& name, int kind, const std::string& includePath);
    CListAnswer& AnswerAlongIncludePaths(const std::string& name, const std::string& includePath);
    static void KnowNode(CListAnswer& answer, CIncludeNode* node);

    // One search and one pair of texts serve every include line without allocating.
    CFileSearch m_search;
    std::string m_strMatch;
    std::string m_strNormal;
    CActiveDirs m_activeDirs;
    CTextMap<CListAnswer> m_listAnswers;
    CListAnswer* m_pAnswer = nullptr;  // the answer of the last resolution, if one served
    CIdentityTable m_nodeByIdentity;
    bool m_bAliases = false;
    std::deque<std::string> m_aliasNames;  // the second names of files, keys of the file table
    std::deque<CIncludeNode> m_nodes;
};
