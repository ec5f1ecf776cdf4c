// Checks of the dialogs' text fields. Pure: text in, verdict and value out.
#pragma once
#include <stdint.h>

// 1 when text is an accepted integer within [min, max]; *value gets the leading number.
int CheckIntegerText(const char* text, int32_t min, int32_t max, int32_t* value);
int CheckHexText(const char* text);
int CheckDecimalText(char* text, double min, double max, char decimalSeparator);
// Replaces ',' and the host's separator by '.' in place, then converts.
double ParseDecimal(char* text, char decimalSeparator);
