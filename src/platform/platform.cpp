#include "platform/platform.h"

#include <cstdint>

namespace {
CPlatform* g_pPlatform = nullptr;
uintptr_t g_nStackLimit = 0;  // the lowest address a level may use; 0 when nothing is watched

uintptr_t AddressOf(const char* frame) {
    return reinterpret_cast<uintptr_t>(frame);
}
}  // namespace

CPlatform& Platform() {
    return g_pPlatform != nullptr ? *g_pPlatform : NativePlatform();
}

CPlatform* SetPlatform(CPlatform* platform) {
    CPlatform* previous = &Platform();
    g_pPlatform = platform;
    return previous;
}

CStackWatch::CStackWatch(size_t reserve) {
    char here = 0;
    const size_t room = StackRoom();
    g_nStackLimit = room == 0 ? 0 : AddressOf(&here) - (room > reserve ? room - reserve : 0);
}

CStackWatch::~CStackWatch() {
    g_nStackLimit = 0;
}

bool StackIsLow() {
    char here = 0;
    return AddressOf(&here) < g_nStackLimit;
}
