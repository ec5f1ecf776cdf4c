// Number texts of instrument answers. Pure.
#pragma once
#include <stddef.h>
#include <stdint.h>

// A number text holds at most this many characters.
enum { ASCII_NUMBER_MAX = 64 };

// Reads a number text at [p, end). *endPos is where the conversion stopped (p when the text
// holds no number, value 0). A text filling all 64 characters with more behind it yields the
// largest double and *endPos = nullptr.
double ParseAsciiNumber(const char* p, const char* end, const char** endPos);

// Whether c may be part of a number text (digits, blank, + - . d D e E).
bool IsNumberTextChar(char c);
