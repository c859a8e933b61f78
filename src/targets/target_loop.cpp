// The target loop: every target expanded, every source scanned and written, then the closing
// text (kept-back rules of the macro-based form, the summary macros).
#include "app/dependency_app.h"
#include "output/output_stream.h"
#include "output/rule_writer.h"
#include "platform/ascii.h"
#include "scan/include_node.h"
#include "targets/file_search.h"
#include "targets/target_source.h"

#include <utility>

namespace {

// Whether `name` ends in ".obj", letter case ignored.
bool IsObjectFile(const std::string& name) {
    static const char OBJ[] = ".obj";
    if (name.size() < 4) return false;
    for (size_t i = 0; i < 4; ++i) {
        if (AsciiLower(name[name.size() - 4 + i]) != OBJ[i]) return false;
    }
    return true;
}

}  // namespace

int CDependencyApp::RunTargets() {
    for (const std::string& macro : m_macros) {
        WriteOutput(macro);
        WriteOutput("\n");
    }
    if (!m_macros.empty()) WriteOutput("\n");

    CFileSearch search;
    std::string match;  // reused from source to source, as is the text of its directory
    std::string dir;
    for (size_t i = 0; i < m_targets.size() && m_nExitCode == 0; ++i) {
        m_strTargetExt = m_targetExts[i];
        if (!search.FindFirst(m_targets[i], 0)) {
            ReportNoFiles(m_targets[i]);
            if (EndsRun(m_nErrNoFiles)) return 0;
            continue;
        }
        while (search.FindNext(match) && m_nExitCode == 0)
            ProcessMatch(match, dir);
    }

    if (m_bMacroFormat) {
        for (const std::string& rule : m_macroRules) {
            WriteOutput(rule);
            WriteOutput("\n\n");
        }
    }
    if (m_bEmptyRules) WriteEmptyRules();
    if (m_bMainObj) WriteMainObj();
    if (m_bMainDep) WriteMainDep();
    return 1;
}

void CDependencyApp::ProcessMatch(std::string& match, std::string& dir) {
    if (!MakeDirectoryForm(match, dir)) {
        // A name too long for the platform cannot be scanned: it is reported like any file
        // the scan cannot find.
        Platform().LowerCase(match);
        ReportNotFound(std::string(), match);
        return;
    }
    Platform().LowerCase(match);
    CTargetSource source(std::move(match), std::move(dir));
    source.m_pRoot = ScanFile(source.m_strName, std::string(), KIND_SOURCE);
    if (source.m_pRoot != nullptr && m_nExitCode == 0) WriteRule(source);
    // The texts go back to the loop, which reuses their room for the next source.
    match = std::move(source.m_strName);
    dir = std::move(source.m_strDir);
}

void CDependencyApp::WriteEmptyRules() {
    const std::vector<const std::string*>& names = m_ruleScratch.m_dependencyNames.InOrder();
    if (names.empty()) return;
    std::string text;
    for (const std::string* name : names) {
        AppendQuoted(text, *name);
        text += ":\n";
    }
    text += '\n';
    WriteOutput(text);
}

// The object names were written as make reads them when the rules took them.
void CDependencyApp::WriteMainObj() {
    std::string text = "MAIN_OBJ = ";
    const char* separator = m_bMainObjResponse ? " + ^\n\t" : " + \\\n\t";
    bool first = true;
    for (const std::string& name : m_objNames) {
        if (!IsObjectFile(name)) continue;
        if (!first) text += separator;
        first = false;
        text += m_strObjPath;
        text += name;
    }
    text += "\n\n";
    WriteOutput(text);
}

void CDependencyApp::WriteMainDep() {
    std::string text = "MAIN_DEP = ";
    bool first = true;
    for (const std::string& name : m_objNames) {
        if (!first) text += " \\\n\t";
        first = false;
        text += m_strObjPath;
        text += name;
    }
    text += "\n";
    WriteOutput(text);
}
