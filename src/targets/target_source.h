// One source file that a target matched.
#pragma once

#include <string>
#include <utility>

class CIncludeNode;

class CTargetSource {
public:
    CTargetSource(std::string name, std::string dir)
        : m_strName(std::move(name)), m_strDir(std::move(dir)) {}

    std::string m_strName;            // matched name, lower-cased (src\main.c)
    std::string m_strDir;             // directory form (c:\proj\src\)
    CIncludeNode* m_pRoot = nullptr;  // owned by the file table
};
