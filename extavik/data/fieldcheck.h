// Checks of the dialogs' text fields. Pure: text in, verdict and value out.
#pragma once
#include <stdint.h>

// Dialog fields are read into buffers of this size, so a check looks at 21 characters at most.
enum { FIELD_TEXT_SIZE = 22 };

// 1 when text is one unsigned decimal number (blanks around it, CR/LF anywhere) whose value lies
// in [min, max]; *value gets the leading number (0 without digits). An all-blank text counts as 0.
int CheckIntegerText(const char* text, int32_t min, int32_t max, int32_t* value);

// 1 when text is hexadecimal digits, with leading and trailing spaces and CR/LF allowed.
// There is no range: an empty text passes.
int CheckHexText(const char* text);

// As CheckIntegerText with "." allowed among the digits; the value is ParseDecimal of the text
// (which rewrites separators in place) and must lie in [min, max]. A comma fails.
int CheckDecimalText(char* text, double min, double max, char decimalSeparator, double* value);

// Replaces every "," and every decimalSeparator (unless it is ".", "," or NUL) by "." in place,
// then converts the leading decimal number (sign, digits, point, exponent); 0 without one.
double ParseDecimal(char* text, char decimalSeparator);
