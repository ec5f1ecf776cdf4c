// Checks inside the fuzz targets. They stay active in every build (assert() would vanish with
// NDEBUG) and stop the run with the file and line, so both libFuzzer and the corpus replay see
// a failure.
#pragma once
#include <stdio.h>
#include <stdlib.h>

[[noreturn]] inline void FuzzCheckFailed(const char* file, int line, const char* what)
{
    fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    fflush(stderr);
    fflush(stdout);
    abort();
}

#define FUZZ_CHECK(cond) \
    do { \
        if (!(cond)) \
            FuzzCheckFailed(__FILE__, __LINE__, #cond); \
    } while (0)

// Reads the fuzz input front to back; past its end every read gives zeros.
struct FuzzInput {
    const unsigned char* data;
    size_t size;
    size_t pos;

    unsigned Byte() { return pos < size ? data[pos++] : 0; }
    unsigned U16() { unsigned lo = Byte(); return lo | (Byte() << 8); }
    unsigned U32() { unsigned lo = U16(); return lo | (U16() << 16); }
    size_t Left() const { return size - pos; }
    const unsigned char* Rest() const { return data + pos; }
};
