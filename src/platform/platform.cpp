#include "platform/platform.h"

namespace {
CPlatform* g_pPlatform = nullptr;
}

CPlatform& Platform() {
    return g_pPlatform != nullptr ? *g_pPlatform : NativePlatform();
}

CPlatform* SetPlatform(CPlatform* platform) {
    CPlatform* previous = &Platform();
    g_pPlatform = platform;
    return previous;
}
