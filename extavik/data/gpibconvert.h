// Decoding of an instrument's answer into float32 samples: the mask, number text and the
// seven data types. Pure: answer bytes and settings in, values out; nothing is allocated.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include "extavik/host/hostabi.h"
#include "extavik/data/numbertext.h"

// 64-bit mask ANDed with the raw bits of every value.
struct GpibMask {
    uint32_t low;
    uint32_t high;
};

// Mask from its hexadecimal text (field of fieldSize bytes): empty = all ones; up to 8 digits
// give the low half; 9 to 16 digits give the last 8 as the low half and the rest as the high half.
GpibMask ParseMaskText(const char* text, size_t fieldSize);

// The layout of one answer and how its values are decoded.
struct DecodeSettings {
    uint32_t headerSize;     // bytes skipped once at the start
    uint32_t valueCount;     // values per answer
    uint32_t invalidHead;    // bytes skipped before each value
    uint32_t invalidTail;    // bytes skipped after each value
    int32_t dataType;        // DATA_ASCII .. DATA_FLOAT64; other values decode as DATA_FLOAT64
    GpibMask mask;
};

// Where decoding of one answer stands, so that it can go on into the next destination span.
struct DecodeCursor {
    uint64_t pos;            // number texts: offset of the next value's skipped head bytes
    uint32_t decoded;        // values produced so far
};

void StartDecoding(const DecodeSettings* settings, DecodeCursor* cursor);

// Bytes of one binary value, 0 for number text.
uint32_t ValueLength(int32_t dataType);

// Binary values standing one after another are decoded with the widest steps the processor
// has, eight at a time where it has AVX2 and FMA, or AVX-512; every one gives the same results.
enum DecodeSteps { DECODE_SSE2, DECODE_AVX2, DECODE_AVX512, DECODE_WIDEST = DECODE_AVX512 };
// Uses the widest steps there are up to most; returns those in use. The widest by default;
// tests and the benchmark compare them.
DecodeSteps UseDecodeSteps(DecodeSteps most);
const char* DecodeStepsName(DecodeSteps steps);

// Decodes up to maxOut further values of the answer data[0..length) into out. A value is only
// produced when its bytes lie inside the answer, so a short answer yields only the values it
// holds. Returns the count produced; fewer than maxOut means the answer is used up.
uint32_t DecodeValues(const uint8_t* data, size_t length, const DecodeSettings* settings,
                      DecodeCursor* cursor, float* out, uint32_t maxOut);

// Decodes the whole answer straight into the writable spans of the sample ring of channel
// block rt (null: no ring).
// Returns 1, or 0 when values were lost: the ring overflowed (RingPush semantics: the unread
// values are lost) or refused its corrupt indexes (nothing stored). *stored counts the values
// put into the ring, the overflowing one included. Without a ring the values are only counted.
int DecodeIntoRing(GpibChannelRuntime* rt, const uint8_t* data, size_t length,
                   const DecodeSettings* settings, uint32_t* stored);
// The same for channel channel of module.
int DecodeIntoRing(ModuleRecord* module, int channel, const uint8_t* data, size_t length,
                   const DecodeSettings* settings, uint32_t* stored);
