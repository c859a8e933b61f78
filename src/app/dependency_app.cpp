#include "app/dependency_app.h"

#include <new>

#include "output/output_stream.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "scan/include_node.h"

CDependencyApp* g_pApp = nullptr;

namespace {

// The scan recurses once per level of include nesting and the tree walks once per level of the
// tree, so a chain of headers 100,000 deep needs far more stack than a process gets by default.
// The stack is only reserved; pages are committed as the recursion reaches them.
const size_t RUN_STACK_BYTES = static_cast<size_t>(1) << 30;

// Where the large stack cannot be had (an address-space limit, strict overcommit) the run uses
// the thread's own, and a chain deep enough ends with the out-of-memory report instead of a
// crash. What stays in reserve serves the deepest level's own work: resolving a long directory
// path, reporting, listing a directory.
const size_t STACK_RESERVE_BYTES = static_cast<size_t>(256) << 10;

struct CRunArguments {
    CDependencyApp* app;
    int argc;
    char** argv;
};

}  // namespace

CDependencyApp::CDependencyApp(int argc, char** argv) {
    g_pApp = this;
    m_bHierarchical = 0;
    m_bSystemIncludes = 0;
    m_bAbsolutePaths = 0;
    m_bOmitDrive = 0;
    m_bMacroFormat = 0;
    m_bMainDep = 0;
    m_bMainObj = 0;
    m_bMainObjResponse = 0;
    m_bBanner = 1;
    m_pszResponseFile = nullptr;
    m_nResponseLine = 0;
    m_nErrRecursive = 1;
    m_nErrNotFound = 2;
    m_nErrNoFiles = 2;
    m_nErrUnknownExt = 2;
    m_bEmptyRules = 0;
    m_nExitCode = EXIT_OK;

    CRunArguments arguments{this, argc, argv};
    if (!RunOnLargeStack(RUN_STACK_BYTES, &CDependencyApp::RunOnThread, &arguments)) {
        // Without the large stack every tree of real code still fits the process's own.
        RunGuarded(argc, argv);
    }
    // What a run that ended with a failure wrote stays; its exit code tells of the failure.
    std::fflush(stdout);
}

CDependencyApp::~CDependencyApp() {
    if (g_pApp == this) g_pApp = nullptr;
}

void CDependencyApp::RunOnThread(void* context) {
    CRunArguments* arguments = static_cast<CRunArguments*>(context);
    arguments->app->RunGuarded(arguments->argc, arguments->argv);
}

void CDependencyApp::RunGuarded(int argc, char** argv) {
    try {
        CStackWatch watch(STACK_RESERVE_BYTES);
        Run(argc, argv);
        // A makefile cut short by a full disk or a closed pipe must not pass for a complete one.
        FlushOutput();
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory();
    } catch (const CFileException& e) {
        ReportFileError(e.m_nError);
    }
}

void CDependencyApp::Run(int argc, char** argv) {
    if (!ParseArgs(argc, argv)) return;
    if (m_targets.empty()) {
        ReportNoTargets();
        return;
    }
    PrintBannerOnce();
    CMakefileOutput makefile(m_strMakefile);
    RunTargets();
    makefile.Finish(m_nExitCode == EXIT_OK);
}
