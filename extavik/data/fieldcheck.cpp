// Field checks of the settings dialogs: which texts the user may leave in a number field.
#include "extavik/data/fieldcheck.h"

#include <stdlib.h>
#include <string.h>

namespace {

enum { FIELD_TEXT_MAX = FIELD_TEXT_SIZE - 1 };

typedef int (*CharTest)(char ch);

int IsDecimalDigit(char ch) { return ch >= '0' && ch <= '9'; }
int IsDecimalOrPoint(char ch) { return IsDecimalDigit(ch) || ch == '.'; }
int IsHexDigit(char ch)
{
    return IsDecimalDigit(ch) || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f');
}

int IsBlank(char ch) { return ch == ' ' || ch == '\t'; }
int IsSpace(char ch) { return ch == ' '; }
int IsWhite(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

size_t FieldLength(const char* text)
{
    size_t n = 0;
    while (n < FIELD_TEXT_MAX && text[n]) ++n;
    return n;
}

// Skips the leading characters for which skip holds; an all-skipped text starts over at its
// first character, so blanks alone are judged by the character test.
size_t SkipLeading(const char* text, size_t length, CharTest skip, int restartWhenEmpty)
{
    size_t i = 0;
    while (i < length && skip(text[i])) ++i;
    return (i == length && restartWhenEmpty) ? 0 : i;
}

// CR and LF are ignored, a space must be followed by spaces only, everything else must pass accept.
int CharactersPass(const char* text, size_t from, size_t length, CharTest accept)
{
    for (size_t i = from; i < length; ++i) {
        char ch = text[i];
        if (ch == '\r' || ch == '\n') continue;
        if (ch == ' ') {
            for (size_t j = i + 1; j < length; ++j)
                if (text[j] != ' ') return 0;
            return 1;
        }
        if (!accept(ch)) return 0;
    }
    return 1;
}

// Leading unsigned decimal number after white space, saturated at INT32_MAX; 0 without digits.
int32_t LeadingInteger(const char* text, size_t length)
{
    size_t i = 0;
    while (i < length && IsWhite(text[i])) ++i;
    int64_t value = 0;
    for (; i < length && IsDecimalDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX) return INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

// Length of the number at the start of s: sign, digits, one point, digits, exponent with digits.
size_t NumberPrefix(const char* s, size_t length)
{
    size_t i = 0, digits = 0;
    if (i < length && (s[i] == '+' || s[i] == '-')) ++i;
    for (; i < length && IsDecimalDigit(s[i]); ++i) ++digits;
    if (i < length && s[i] == '.')
        for (++i; i < length && IsDecimalDigit(s[i]); ++i) ++digits;
    if (digits == 0) return 0;
    if (i < length && (s[i] == 'e' || s[i] == 'E')) {
        size_t e = i + 1;
        if (e < length && (s[e] == '+' || s[e] == '-')) ++e;
        if (e < length && IsDecimalDigit(s[e])) {
            while (e < length && IsDecimalDigit(s[e])) ++e;
            i = e;
        }
    }
    return i;
}

}  // namespace

int CheckIntegerText(const char* text, int32_t min, int32_t max, int32_t* value)
{
    size_t length = FieldLength(text);
    size_t from = SkipLeading(text, length, IsBlank, 1);
    int32_t number = LeadingInteger(text, length);
    if (value) *value = number;
    if (!CharactersPass(text, from, length, IsDecimalDigit)) return 0;
    return number >= min && number <= max;
}

int CheckHexText(const char* text)
{
    size_t length = FieldLength(text);
    size_t from = SkipLeading(text, length, IsSpace, 0);
    return CharactersPass(text, from, length, IsHexDigit);
}

int CheckDecimalText(char* text, double min, double max, char decimalSeparator, double* value)
{
    size_t length = FieldLength(text);
    size_t from = SkipLeading(text, length, IsBlank, 1);
    int charactersPass = CharactersPass(text, from, length, IsDecimalOrPoint);
    double number = ParseDecimal(text, decimalSeparator);
    if (value) *value = number;
    return charactersPass && number >= min && number <= max;
}

double ParseDecimal(char* text, char decimalSeparator)
{
    int replaceSeparator = decimalSeparator != '.' && decimalSeparator != ',' && decimalSeparator != '\0';
    for (char* p = text; *p; ++p)
        if (*p == ',' || (replaceSeparator && *p == decimalSeparator)) *p = '.';

    size_t length = strlen(text), i = 0;
    while (i < length && IsWhite(text[i])) ++i;
    // Only the plain number goes to strtod: no hexadecimal, "inf" or "nan" forms.
    char number[64];
    size_t n = NumberPrefix(text + i, length - i);
    if (n == 0) return 0.0;
    if (n >= sizeof number) n = sizeof number - 1;
    memcpy(number, text + i, n);
    number[n] = '\0';
    return strtod(number, nullptr);
}
