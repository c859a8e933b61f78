#include "scan/include_resolver.h"

bool CIncludeResolver::TakeFirstMatch(const std::string& name, std::string_view list, int flags,
                                      std::string& match) {
    if (!m_search.FindFirst(name, list, flags)) return false;
    m_search.FindNext(match);
    return true;
}

CIncludeResolver::CResult CIncludeResolver::Resolve(const std::string& name, int kind,
                                                    const std::string& includePath,
                                                    const CFileTable& table) {
    if (!Find(name, kind, includePath)) return CResult{Outcome::NOT_FOUND, nullptr, nullptr};
    // A node known for the answer needs no match: its path is the match's normal form.
    if (m_pAnswer != nullptr && m_pAnswer->node != nullptr) {
        return CResult{Outcome::KNOWN, m_pAnswer->node, nullptr};
    }
    // A path too long for the platform cannot be named, so it counts as not found.
    if (!MakeNormalForm(m_strMatch, m_strNormal))
        return CResult{Outcome::NOT_FOUND, nullptr, nullptr};
    CIncludeNode* const* entry = table.Find(m_strNormal);
    if (entry == nullptr) return CResult{Outcome::NEW, nullptr, &m_strNormal};
    if (m_pAnswer != nullptr) KnowNode(*m_pAnswer, *entry);
    return CResult{Outcome::KNOWN, *entry, nullptr};
}

bool CIncludeResolver::Find(const std::string& name, int kind, const std::string& includePath) {
    m_pAnswer = nullptr;
    if (kind == KIND_SOURCE) return TakeFirstMatch(name, std::string(), 0, m_strMatch);
    if (kind == KIND_QUOTED && m_activeDirs.AnyOf([&](std::string_view dir) {
            return TakeFirstMatch(name, dir, SEARCH_LIST_ONLY, m_strMatch);
        })) {
        return true;
    }
    m_pAnswer = &AnswerAlongIncludePaths(name, includePath);
    if (m_pAnswer->node != nullptr) return true;
    m_strMatch = m_pAnswer->match;
    return !m_strMatch.empty();
}

CIncludeResolver::CListAnswer& CIncludeResolver::AnswerAlongIncludePaths(
    const std::string& name, const std::string& includePath) {
    const auto kept = m_listAnswers.Insert(name, CListAnswer());
    CListAnswer& answer = *kept.first;
    if (!kept.second) return answer;
    const bool found = (!includePath.empty() &&
                        TakeFirstMatch(name, includePath, SEARCH_LIST_ONLY, answer.match)) ||
                       TakeFirstMatch(name, ">INCLUDE", SEARCH_LIST_ONLY, answer.match);
    if (!found) answer.match.clear();
    return answer;
}

void CIncludeResolver::KnowNode(CListAnswer& answer, CIncludeNode* node) {
    answer.node = node;
    std::string().swap(answer.match);  // the node's path says it all now
}

CIncludeNode* CIncludeResolver::SameFile(const CFileFacts& facts, const std::string& normal,
                                         CFileTable& table) {
    if (!facts.hasIdentity) return nullptr;
    CIncludeNode* const same = m_nodeByIdentity.Find(CFileKey{facts.volume, facts.index});
    if (same == nullptr) return nullptr;
    m_aliasNames.push_back(normal);
    table.Insert(m_aliasNames.back(), same);
    if (m_pAnswer != nullptr) KnowNode(*m_pAnswer, same);
    m_bAliases = true;
    return same;
}

void CIncludeResolver::Remember(const CFileFacts& facts, CIncludeNode* node) {
    if (facts.hasIdentity) m_nodeByIdentity.Insert(CFileKey{facts.volume, facts.index}, node);
}

void CIncludeResolver::EnterFile(const std::string& normal) {
    const size_t backslash = FindLastBackslash(normal);
    m_activeDirs.Push(
        std::string_view(normal).substr(0, backslash == std::string::npos ? 0 : backslash + 1));
}
