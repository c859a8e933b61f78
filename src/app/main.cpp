#include "app/dependency_app.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    InitializeProcess();
    int exitCode;
    {
        CDependencyApp app(argc, argv);
        exitCode = app.m_nExitCode;
    }
    return exitCode;
}
