// One source file that a target matched.
#pragma once

#include <string>

class CIncludeNode;

class CTargetSource {
public:
    CTargetSource(const std::string& name, const std::string& dir)
        : m_strName(name), m_strDir(dir) {}

    std::string m_strName;            // matched name, lower-cased (src\main.c)
    std::string m_strDir;             // directory form (c:\proj\src\)
    CIncludeNode* m_pRoot = nullptr;  // owned by the file table
};
