// The whole application on any argument vector: the input cut at its zero bytes gives the
// arguments. The file system is empty, so targets match nothing and response files do not open;
// what runs is the command line, the diagnostics and the target loop's handling of misses.
//
// Every run starts a thread, the application's large stack, and AddressSanitizer keeps a little
// memory for each thread ever started: the resident size grows by about 0.3 KB a run, so a run of
// more than about twenty minutes needs a higher -rss_limit_mb than fuzz/run's 2048.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/dependency_app.h"
#include "fuzz_support.h"

namespace {

// More arguments add nothing the first ones do not reach, and would only slow each run.
const size_t MAX_ARGUMENTS = 64;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static CMemoryPlatform platform;  // empty
    SilenceProgramOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces = SplitAtNul(data, size, MAX_ARGUMENTS);
    // Each argument in an allocation of its own size, so that a read past its end is caught.
    std::vector<std::unique_ptr<char[]>> storage;
    std::vector<char*> argv;
    storage.emplace_back(new char[sizeof "incwalk32"]);
    std::memcpy(storage.back().get(), "incwalk32", sizeof "incwalk32");
    for (const std::string& piece : pieces) {
        storage.emplace_back(new char[piece.size() + 1]);
        std::memcpy(storage.back().get(), piece.c_str(), piece.size() + 1);
    }
    for (auto& argument : storage)
        argv.push_back(argument.get());
    argv.push_back(nullptr);

    CDependencyApp app(static_cast<int>(argv.size() - 1), argv.data());
    const int code = app.m_nExitCode;
    // With nothing on disk, only the codes of the command line and of missed targets can occur.
    FUZZ_CHECK(code == EXIT_OK || code == EXIT_NO_FILES || code == EXIT_BAD_ARGS);
    return 0;
}
