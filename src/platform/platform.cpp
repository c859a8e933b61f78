#include "platform/platform.h"

#include <cstdint>
#include <new>

#include "platform/listing_failure.h"
#include "platform/text_file.h"

namespace {
CPlatform* g_pPlatform = nullptr;
uintptr_t AddressOf(const char* frame) {
    return reinterpret_cast<uintptr_t>(frame);
}
}  // namespace

uintptr_t g_nStackLimit = 0;

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

void RaiseListingFailure(unsigned long error) {
    if (ClassifyListingFailure(error) == ListingFailure::OUT_OF_MEMORY) throw std::bad_alloc();
    throw CFileException(error);
}
