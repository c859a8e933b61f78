// The application object: every setting and list of the run, and the run itself.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "output/rule_scratch.h"
#include "scan/include_node.h"
#include "scan/include_resolver.h"

class CTargetSource;

typedef std::vector<std::string> CStringList;

// Process exit codes.
enum {
    EXIT_OK = 0,
    EXIT_RECURSIVE = 1,
    EXIT_UNKNOWN_EXT = 2,
    EXIT_NOT_FOUND = 3,
    EXIT_CANNOT_OPEN = 4,
    EXIT_NO_FILES = 5,
    EXIT_SORRY = 254,
    EXIT_BAD_ARGS = 255,
};

// The longest line of a response file, line end not counted.
const int MAX_RESPONSE_LINE = 500;

// The arguments the run rejects (exit code 255); the diagnostics file holds each one's text.
enum class ArgProblem {
    INVALID_OPTION,  // with the whole argument
    INVALID_ERROR_MODE,
    INVALID_MACRO_OPTION,
    MISSING_INCLUDE_PATH,
    MISSING_OBJECT_PATH,
    MISSING_UNIVERSAL,
    MISSING_EXCLUDE,
    MISSING_MAKEFILE,
    INVALID_TARGET,  // with the target
    NESTED_RESPONSE_FILE,
    UNOPENED_RESPONSE_FILE,  // with the file's name
    LONG_RESPONSE_LINE,
};

class CDependencyApp {
public:
    // Performs the whole run; main returns m_nExitCode afterwards.
    CDependencyApp(int argc, char** argv);
    ~CDependencyApp();
    CDependencyApp(const CDependencyApp&) = delete;
    CDependencyApp& operator=(const CDependencyApp&) = delete;

    // Command line. Each handler returns 1 when the argument was accepted, 0 after reporting.
    int ParseArgs(int argc, char** argv);
    int ParseOption(char* arg);
    int AddTarget(char* text);
    int AddMacro(char* text);
    void AddIncludePath(const char* text);
    void SetObjPath(const char* text);
    void AddExclude(const char* text);
    void SetMakefile(const char* text);
    void AddUniversal(const char* text);
    int IsExcluded(const std::string& name) const;
    void Usage();
    int ReadResponseFile(const char* name);

    // Diagnostics: one argument diagnostic (banner first when still due); sets the exit code.
    void ArgError(ArgProblem problem, const char* text = "");
    // The active-file stack, innermost first, on standard output.
    void DumpActiveFiles();
    // The banner line; printed at most once, to standard error (the usage text has its own).
    static std::string BannerLine();
    void PrintBannerOnce();

    // Scan: the node of the file `name`, or null when it contributes nothing.
    CIncludeNode* ScanFile(const std::string& name, const std::string& includerPath, int kind);
    CIncludeNode* NewNode(std::string path, int bSystem);

    // Output and the target loop.
    void WriteRule(CTargetSource& source);
    std::string MakeDependencyName(const std::string& dir, const std::string& path) const;
    // The same into `name`, whose room it reuses. Returns how many leading bytes of `dir` the name
    // depends on: for any directory that begins with those bytes and has as many levels as `dir`,
    // the name of `path` is the same.
    size_t MakeDependencyName(const std::string& dir, const std::string& path,
                              std::string& name) const;
    // What the writer keeps between rules; the walk of a rule's nodes marks them there.
    CRuleScratch& RuleScratch() { return m_ruleScratch; }
    int RunTargets();

    int m_nExitCode;
    CFileTable m_fileTable;
    CStringList m_targets;
    CStringList m_targetExts;
    std::string m_strTargetExt;
    CStringList m_excludes;
    CStringList m_universals;
    std::string m_strIncludePath;
    CStringList m_macros;
    std::string m_strObjPath;
    std::vector<CIncludeNode*> m_ruleDeps;
    CStringList m_objNames;
    std::vector<const std::string*> m_activeFiles;  // the nodes' paths
    CStringList m_macroRules;
    int m_bHierarchical;
    int m_bSystemIncludes;
    int m_bAbsolutePaths;
    int m_bOmitDrive;
    int m_bMacroFormat;
    int m_bMainDep;
    int m_bMainObj;
    int m_bMainObjResponse;
    int m_bBanner;
    const char* m_pszResponseFile;
    int m_nResponseLine;
    int m_nErrRecursive;
    int m_nErrNotFound;
    int m_nErrNoFiles;
    int m_nErrUnknownExt;
    // /P: an empty rule for every dependency written, so that make takes a header deleted since
    // as a target that is always out of date instead of stopping for want of a rule to make it.
    int m_bEmptyRules;
    // /F: the makefile the text goes to instead of standard output, as typed; empty without /F.
    std::string m_strMakefile;

private:
    int ParseErrorMode(const char* text);
    int ParseGeneratedMacros(const char* text);

    // The scan's search, with what it keeps for the run, and the nodes.
    CIncludeResolver m_resolver;
    // What the rule writer keeps between rules.
    CRuleScratch m_ruleScratch;
    // The children and the include name of the files being scanned, for each depth, kept for
    // the next file.
    std::vector<std::vector<CIncludeNode*>> m_childLists;
    std::vector<std::string> m_includeNames;

    // Where an include of `includerPath` leads: a file to scan (NEW), the node of a file met
    // before (KNOWN), or after its report nothing (no node).
    CIncludeResolver::CResult Resolve(const std::string& name, const std::string& includerPath,
                                      int kind);
    // Opens and scans the file `normal`, which `name` resolved to; each include line of it that
    // leads to a file to scan closes it, scans that file and reopens it, in this one frame.
    CIncludeNode* ScanNewFile(std::string normal, const std::string& name,
                              const std::string& includerPath, int kind);
    // What the scan of one file makes active while it lasts.
    class CActiveScan;
    // A file met before: its node, or null after reporting it as recursive when it is active.
    CIncludeNode* KnownFile(CIncludeNode* known, const std::string& includerPath);
    // The display name of a dependency for a source in `dir`.
    const std::string& DisplayName(CIncludeNode& node, const std::string& dir);
    // The parts of a rule: the object file name (false after an unknown extension that ends the
    // run), the source's normal form and display name, the lines of its names, and the two forms.
    bool ObjectName(const CTargetSource& source, std::string& objName);
    const std::string& SourcePath(const CTargetSource& source);
    const std::string& SourceName(const CTargetSource& source);
    void ListRuleLines(const CTargetSource& source, const std::string& display);
    void WritePlainRule(const std::string& objName, const std::string& display);
    void WriteMacroBlock(const CTargetSource& source, const std::string& objName,
                         const std::string& display);
    static void RunOnThread(void* context);
    // The run inside the region that catches exhaustion of memory and file I/O errors.
    void RunGuarded(int argc, char** argv);
    void Run(int argc, char** argv);
    // The conditions of the run, each with its message, its error mode and its exit code.
    void ReportNoTargets();
    void ReportNotFound(const std::string& includer, const std::string& name);
    void ReportRecursive(const std::string& includer, const std::string& path);
    void ReportCannotOpen(const std::string& includer, const std::string& path);
    void ReportNoFiles(const std::string& target);
    void ReportUnknownExtension(const std::string& extension);
    void ReportOutOfMemory();
    void ReportFileError(unsigned long error);
    // Whether an error mode reports its condition, and whether it ends the run (2 and 3 set the
    // exit code); what the mode makes of it besides: mode 3 lists the active files for the
    // include conditions.
    enum class ActiveFiles { LISTED, NOT_LISTED };
    static bool Reports(int mode);
    static bool EndsRun(int mode);
    void ApplyMode(int mode, int code, ActiveFiles activeFiles);
    void ProcessMatch(std::string& match, std::string& dir);
    void WriteEmptyRules();
    void WriteMainObj();
    void WriteMainDep();
};

extern CDependencyApp* g_pApp;
