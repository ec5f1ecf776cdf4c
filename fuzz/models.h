// Simple models of the pure cores, written from their rules rather than from their code, for
// the differential fuzz targets.
#pragma once
#include <float.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

// Floating-point results compare by their bits; any two NaNs are equal.
inline bool SameDouble(double a, double b)
{
    if (a != a && b != b)
        return true;
    return memcmp(&a, &b, sizeof a) == 0;
}

inline bool SameFloat(float a, float b)
{
    if (a != a && b != b)
        return true;
    return memcmp(&a, &b, sizeof a) == 0;
}

// A number text of an answer: at most 64 number characters are copied and strtod decides, with
// d and D as exponent letters. *endOffset is -1 when the copy was full and more followed.
inline double ModelNumber(const char* p, size_t length, long* endOffset)
{
    const char* allowed = "0123456789 +-.dDeE";
    char copy[64 + 1];
    size_t n = 0;
    while (n < 64 && n < length && p[n] && strchr(allowed, p[n]))
        ++n;
    if (n == 64 && n < length && p[n] != '\0') {
        *endOffset = -1;
        return DBL_MAX;
    }
    for (size_t i = 0; i < n; ++i)
        copy[i] = (p[i] == 'd' || p[i] == 'D') ? 'e' : p[i];
    copy[n] = '\0';
    char* stop;
    double value = strtod(copy, &stop);
    *endOffset = long(stop - copy);
    // No number at all is 0; some C libraries leave the sign of a lone "-" on it.
    return stop == copy ? 0.0 : value;
}
