#pragma once
#include "util.h"
const char* trim(const char* text);
