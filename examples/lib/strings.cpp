// #include "commented_out.h" is no include: comments are blanked before lines are read.
#include "strings.h"
#include "config.h"

const char* trim(const char* text) {
    return text;
}
