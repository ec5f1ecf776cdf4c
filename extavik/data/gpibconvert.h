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

// Binary values standing one after another are decoded eight at a time where the processor
// has 256-bit steps and fused multiply-add (AVX2, FMA), with the same results. Turns that on
// (where it is there) or off; returns whether it is in use. On by default; tests compare the two.
bool UseWideDecoding(bool on);

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
