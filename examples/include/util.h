#ifndef UTIL_H
#define UTIL_H
#include "config.h"
int clamp(int value, int low, int high);
#endif
