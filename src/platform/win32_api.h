// <windows.h> as the Win32 platform and its tests use it: lean, without the min and max macros,
// and without the A and W renaming of the two names that are also methods of the platform
// interface. Included only by code built for Windows.
#pragma once

// The interface comes before <windows.h>, whose macros would otherwise rename two of its methods.
#include "platform/platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#undef FindFirstFile
#undef FindNextFile
