// Fuzz target: the dialogs' field checks on any text a 22-byte field buffer can hold, against
// a table of known texts and verdicts and a model built on the C library's strtoll and strtod.
#include "extavik/data/fieldcheck.h"
#include "extavik/data/gpibfields.h"
#include "fuzz/fuzzcheck.h"
#include "fuzz/models.h"
#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <string>

namespace {

// Blank handling of every number field: leading spaces and tabs skipped (all blank: start over),
// CR and LF ignored, a space only followed by spaces, every other character accepted by allowed.
bool ModelCharacters(const std::string& text, const char* allowed, bool skipTabs, bool restart)
{
    size_t i = text.find_first_not_of(skipTabs ? " \t" : " ");
    if (i == std::string::npos)
        i = restart ? 0 : text.size();
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n')
            continue;
        if (c == ' ')
            return text.find_first_not_of(' ', i) == std::string::npos;
        if (!strchr(allowed, c) || c == '\0')
            return false;
    }
    return true;
}

int32_t ModelInteger(const std::string& text)
{
    long long v = strtoll(text.c_str(), nullptr, 10);
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

int ModelCheckInteger(const std::string& text, int32_t min, int32_t max, int32_t* value)
{
    *value = ModelInteger(text);
    return ModelCharacters(text, "0123456789", true, true) && *value >= min && *value <= max;
}

// Separators become points; then the plain decimal number at the start (after white space),
// which strtod reads once everything that cannot belong to it is cut off.
double ModelParseDecimal(std::string* text, char separator)
{
    for (char& c : *text)
        if (c == ',' || (c == separator && separator != '.' && separator != ',' && separator != '\0'))
            c = '.';
    size_t i = 0;
    while (i < text->size() && isspace(static_cast<unsigned char>((*text)[i])))
        ++i;
    size_t n = i;
    while (n < text->size() && strchr("0123456789+-.eE", (*text)[n]))
        ++n;
    std::string number = text->substr(i, n - i);
    char* stop;
    double value = strtod(number.c_str(), &stop);
    // No number at all is 0; some C libraries leave the sign of a lone "-" on it.
    return stop == number.c_str() ? 0.0 : value;
}

struct IntegerExample { const char* text; int32_t min, max; int accepted; };
struct DecimalExample { const char* text; char separator; double value; int accepted; };

// Texts whose verdict and value are known: what a user types into the dialogs and what each gives.
void CheckKnownExamples()
{
    static const IntegerExample kIntegers[] = {
        { "", 0, 31, 1 }, { "    ", 0, 31, 1 }, { " 12 ", 0, 31, 1 }, { "1 2", 0, 31, 0 },
        { "12a", 0, 31, 0 }, { "-5", -10, 31, 0 }, { "\t", 0, 31, 0 }, { "32", 0, 31, 0 },
    };
    for (const IntegerExample& e : kIntegers) {
        int32_t value;
        FUZZ_CHECK(CheckIntegerText(e.text, e.min, e.max, &value) == e.accepted);
    }
    static const DecimalExample kDecimals[] = {
        { "1.2.3", '.', 1.2, 1 }, { "1,5", '.', 1.5, 0 }, { "0.5", '.', 0.5, 1 }, { "2;5", ';', 2.5, 0 },
        { "0.001", '.', 0.001, 0 }, { "60000", '.', 60000.0, 1 }, { "1.000", '.', 1.0, 1 },
    };
    for (const DecimalExample& e : kDecimals) {
        char text[FIELD_TEXT_SIZE];
        strcpy(text, e.text);
        double value;
        FUZZ_CHECK(CheckDecimalText(text, 0.01, 60000.0, e.separator, &value) == e.accepted);
        FUZZ_CHECK(value == e.value);
        strcpy(text, e.text);
        FUZZ_CHECK(ParseDecimal(text, e.separator) == e.value);
    }
    FUZZ_CHECK(CheckHexText("") && CheckHexText("  00FF  ") && !CheckHexText("0x1F") && !CheckHexText("F F"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool examplesChecked = false;
    if (!examplesChecked) {
        CheckKnownExamples();
        examplesChecked = true;
    }
    FuzzInput in = { data, size, 0 };
    // The ranges the dialogs check, from the field table, in the order the corpus was made with.
    static const GpibFieldId kRanges[] = { GF_PRIMARY_ADDRESS, GF_BUS_TIMEOUT, GF_HEADER_SIZE,
                                           GF_RECV_BLOCK_LENGTH, GF_RECV_BUFFER_KB, GF_SPOLL_READY_BIT,
                                           GF_MY_ADDRESS };
    unsigned pick = in.Byte();
    int32_t min, max;
    if (pick < 7 * 32) {
        min = int32_t(GPIB_FIELDS[kRanges[pick % 7]].min);
        max = int32_t(GPIB_FIELDS[kRanges[pick % 7]].max);
    } else {
        min = int32_t(in.U32());
        max = int32_t(in.U32());
    }
    static const char kSeparators[] = { '.', ',', '\0', ';', ' ', 'e' };
    unsigned sepPick = in.Byte();
    char separator = sepPick < 6 * 32 ? kSeparators[sepPick % 6] : char(in.Byte());

    size_t length = in.Left() < FIELD_TEXT_SIZE - 1 ? in.Left() : FIELD_TEXT_SIZE - 1;
    // The field as the dialog reads it: at most 21 characters and a NUL, in a buffer of exactly
    // that size so that any read past the terminator shows.
    char* text = new char[length + 1];
    memcpy(text, in.Rest(), length);
    text[length] = '\0';
    std::string visible(text);

    int32_t value = -1, modelValue;
    int accepted = CheckIntegerText(text, min, max, &value);
    FUZZ_CHECK(accepted == ModelCheckInteger(visible, min, max, &modelValue));
    if (accepted)
        FUZZ_CHECK(value == modelValue);

    FUZZ_CHECK(CheckHexText(text) == int(ModelCharacters(visible, "0123456789abcdefABCDEF", false, false)));

    std::string rewritten = visible;
    double modelDecimal = ModelParseDecimal(&rewritten, separator);
    double decimal = -1.0;
    int decimalOk = CheckDecimalText(text, 0.01, 60000.0, separator, &decimal);
    FUZZ_CHECK(SameDouble(decimal, modelDecimal));
    FUZZ_CHECK(rewritten == text);
    FUZZ_CHECK(decimalOk == int(ModelCharacters(visible, "0123456789.", true, true) &&
                                modelDecimal >= 0.01 && modelDecimal <= 60000.0));

    memcpy(text, visible.c_str(), visible.size() + 1);
    FUZZ_CHECK(SameDouble(ParseDecimal(text, separator), modelDecimal));
    delete[] text;
    return 0;
}
