// Fuzz target: ParseAsciiNumber on any bytes, held in a buffer of exactly their length. The
// value and the end position must equal those of the C library's strtod on the copied number
// characters, with d and D read as exponent letters.
#include "extavik/data/gpibconvert.h"
#include "fuzz/fuzzcheck.h"
#include "fuzz/models.h"
#include <float.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

static void CheckNumberText(const char* text, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char* text = new char[size ? size : 1];
    memcpy(text, data, size);
    CheckNumberText(text, size);
    // The same bytes spelled in number characters only, mostly digits: long mantissas,
    // exponents and the rounding cases are reached far more often this way.
    static const char kAlphabet[] = "0123456789012345678901234567890123456789.+-eEdD 00000";
    for (size_t i = 0; i < size; ++i)
        text[i] = kAlphabet[data[i] % (sizeof kAlphabet - 1)];
    CheckNumberText(text, size);
    delete[] text;
    return 0;
}

static void CheckNumberText(const char* text, size_t size)
{
    const char* end = nullptr;
    double value = ParseAsciiNumber(text, text + size, &end);
    long modelEnd;
    double model = ModelNumber(text, size, &modelEnd);
    FUZZ_CHECK(SameDouble(value, model));
    if (modelEnd < 0) {
        FUZZ_CHECK(end == nullptr);
    } else {
        FUZZ_CHECK(end == text + modelEnd);
    }
    // The same text starting further in: the conversion never looks behind its start.
    if (size > 1) {
        value = ParseAsciiNumber(text + 1, text + size, &end);
        model = ModelNumber(text + 1, size - 1, &modelEnd);
        FUZZ_CHECK(SameDouble(value, model));
        FUZZ_CHECK(modelEnd < 0 ? end == nullptr : end == text + 1 + modelEnd);
    }
}
