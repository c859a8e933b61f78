/* count_calls: a preload library for the benchmark that counts what a run asks of the C library:
 * the blocks it allocates (malloc, calloc, realloc, aligned allocations; operator new comes
 * through malloc) and the files it opens with open or openat (a directory listing's own open
 * does not come through them). At exit it appends "allocations N opens M" to the file that
 * COUNT_CALLS_OUT names.
 *
 *   LD_PRELOAD=build/bench-release/bench/libcount_calls.so COUNT_CALLS_OUT=counts.txt incwalk32 ...
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

extern void* __libc_malloc(size_t);
extern void* __libc_calloc(size_t, size_t);
extern void* __libc_realloc(void*, size_t);
extern void* __libc_memalign(size_t, size_t);

static unsigned long g_allocations;
static unsigned long g_opens;

static void Count(unsigned long* counter) {
    __atomic_add_fetch(counter, 1, __ATOMIC_RELAXED);
}

void* malloc(size_t size) {
    Count(&g_allocations);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    Count(&g_allocations);
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
    Count(&g_allocations);
    return __libc_realloc(block, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    Count(&g_allocations);
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** block, size_t alignment, size_t size) {
    Count(&g_allocations);
    *block = __libc_memalign(alignment, size);
    return *block != NULL ? 0 : 12;
}

int open(const char* name, int flags, ...) {
    static int (*real)(const char*, int, ...);
    if (real == NULL) real = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
    va_list rest;
    va_start(rest, flags);
    const int mode = va_arg(rest, int);
    va_end(rest);
    if ((flags & O_DIRECTORY) == 0) Count(&g_opens);
    return real(name, flags, mode);
}

int openat(int directory, const char* name, int flags, ...) {
    static int (*real)(int, const char*, int, ...);
    if (real == NULL) real = (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, "openat");
    va_list rest;
    va_start(rest, flags);
    const int mode = va_arg(rest, int);
    va_end(rest);
    if ((flags & O_DIRECTORY) == 0) Count(&g_opens);
    return real(directory, name, flags, mode);
}

__attribute__((destructor)) static void Report(void) {
    const char* name = getenv("COUNT_CALLS_OUT");
    if (name == NULL) return;
    FILE* out = fopen(name, "a");
    if (out == NULL) return;
    fprintf(out, "allocations %lu opens %lu\n", g_allocations, g_opens);
    fclose(out);
}
