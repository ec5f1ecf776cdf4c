// Decoding of instrument answers: mask and the seven data types (number texts through
// numbertext), into float32 samples.
#include "extavik/data/gpibconvert.h"
#include "extavik/data/gpibring.h"
#include <float.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

// ---- mask ----

// The mask of an empty field: every bit kept. Without a mask (the usual case) a decode loop has
// no AND to do: its mask is this constant, not the settings' one, in the loops built for kMasked
// false.
static const GpibMask kNoMask = { 0xFFFFFFFFu, 0xFFFFFFFFu };

static uint32_t ReadHex(const char* text, size_t count)
{
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = uint32_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = uint32_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = uint32_t(c - 'A' + 10);
        else
            break;
        value = (value << 4) | digit;
    }
    return value;
}

GpibMask ParseMaskText(const char* text, size_t fieldSize)
{
    size_t length = 0;
    while (length < fieldSize && text[length] != '\0')
        ++length;
    if (length == 0)
        return kNoMask;
    if (length <= 8)
        return GpibMask{ ReadHex(text, length), 0 };
    if (length > 16)
        length = 16;
    return GpibMask{ ReadHex(text + length - 8, 8), ReadHex(text, length - 8) };
}

// ---- values ----

uint32_t ValueLength(int32_t dataType)
{
    switch (dataType) {
    case DATA_ASCII: return 0;
    case DATA_INT16: case DATA_UINT16: return 2;
    case DATA_INT32: case DATA_UINT32: case DATA_FLOAT32: return 4;
    default: return 8;
    }
}

void StartDecoding(const DecodeSettings* settings, DecodeCursor* cursor)
{
    cursor->pos = settings->headerSize;
    cursor->decoded = 0;
}

static uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

static uint16_t Load16(const uint8_t* p)
{
    uint16_t v;
    memcpy(&v, p, 2);
    return v;
}

struct Int16Value { static float Decode(const uint8_t* p, GpibMask m) { return float(int16_t(uint16_t(Load16(p) & m.low))); } };
struct UInt16Value { static float Decode(const uint8_t* p, GpibMask m) { return float(uint16_t(Load16(p) & m.low)); } };
struct Int32Value { static float Decode(const uint8_t* p, GpibMask m) { return float(int32_t(Load32(p) & m.low)); } };
// Both 16-bit halves become floats exactly by putting their bits into the mantissas of 2^39
// (high half, in units of 2^16) and 2^23 (low half); taking 2^39 + 2^23 off the first is exact,
// so the sum of the two is rounded once. Integer and add steps only: they vectorise.
static float BitsToFloat(uint32_t bits)
{
    float f;
    memcpy(&f, &bits, 4);
    return f;
}
struct UInt32Value {
    static float Decode(const uint8_t* p, GpibMask m)
    {
        uint32_t v = Load32(p) & m.low;
        const float high = BitsToFloat((v >> 16) | 0x53000000u) - (549755813888.0f + 8388608.0f);
        const float low = BitsToFloat((v & 0xFFFF) | 0x4B000000u);
        return high + low;
    }
};
struct Float32Value {
    static float Decode(const uint8_t* p, GpibMask m)
    {
        uint32_t bits = Load32(p) & m.low;
        float v;
        memcpy(&v, &bits, 4);
        return v;
    }
};
struct Float64Value {
    static float Decode(const uint8_t* p, GpibMask m)
    {
        uint64_t bits;
        memcpy(&bits, p, 8);
        bits &= uint64_t(m.low) | (uint64_t(m.high) << 32);
        double v;
        memcpy(&v, &bits, 8);
        return float(v);
    }
};

// n values at p, one every stride bytes, into out.
template <class Value, bool kMasked>
static inline void DecodeRun(const uint8_t* p, uint32_t size, uint64_t stride, uint32_t n, GpibMask given, float* out)
{
    const GpibMask mask = kMasked ? given : kNoMask;
    if (stride == size) {
        for (uint32_t i = 0; i < n; ++i)
            out[i] = Value::Decode(p + size_t(i) * size, mask);
    } else {
        // Step on only between values: a pointer formed past the answer, which a large
        // skipped-byte count would give, is undefined even when nothing reads through it.
        for (uint32_t i = 0; i < n; ++i) {
            out[i] = Value::Decode(p, mask);
            if (i + 1 < n)
                p += stride;
        }
    }
}

// The contiguous loop once more for processors with wider steps: the compiler gives it the same
// operations on eight values at a time, so the same bits come out. AVX2 with fused multiply-add,
// and AVX-512 (F, VL) whose unsigned conversion rounds a 32-bit value in one step. Both keep to
// 256-bit registers: 512-bit steps make some processors lower their clock for a while after.
// The steps are chosen once, by what the processor and the system say they have.
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#define WIDE_LOOPS 1
// An unsigned 32-bit value in the AVX2 loop, whose processors have fused multiply-add: the high
// half times 2^16 is exact, so the fused step rounds once, as UInt32Value's sum does, and each
// value takes a step less.
struct UInt32FusedValue {
    static float Decode(const uint8_t* p, GpibMask m)
    {
        uint32_t v = Load32(p) & m.low;
        return __builtin_fmaf(float(int32_t(v >> 16)), 65536.0f, float(int32_t(v & 0xFFFF)));
    }
};
// An unsigned 32-bit value in the AVX-512 loop: one conversion, rounded once by the processor.
struct UInt32DirectValue {
    static float Decode(const uint8_t* p, GpibMask m) { return float(Load32(p) & m.low); }
};

// The form of a type's value the wider loops run, where they have one of their own.
template <class Value, DecodeSteps kSteps> struct StepsForm { using Type = Value; };
template <> struct StepsForm<UInt32Value, DECODE_AVX2> { using Type = UInt32FusedValue; };
template <> struct StepsForm<UInt32Value, DECODE_AVX512> { using Type = UInt32DirectValue; };

template <class Value, bool kMasked>
__attribute__((always_inline)) static inline void DecodeContiguousAligned(const uint8_t* p, uint32_t size, uint32_t n,
                                                                          GpibMask given, float* out)
{
    const GpibMask mask = kMasked ? given : kNoMask;
    // Values one by one until out stands on a 32-byte boundary: a wide store across two cache
    // lines costs two, and ring memory comes with whatever alignment its owner gave it.
    uint32_t head = uint32_t((32 - (uintptr_t(out) & 31)) & 31) / sizeof(float);
    if (head > n || uintptr_t(out) % sizeof(float) != 0)
        head = n;
    for (uint32_t i = 0; i < head; ++i)
        out[i] = Value::Decode(p + size_t(i) * size, mask);
    if (head == n)
        return;   // out + head is on the boundary only when values are left for it
    p += size_t(head) * size;
    float* aligned = static_cast<float*>(__builtin_assume_aligned(out + head, 32));
    for (uint32_t i = 0; i < n - head; ++i)
        aligned[i] = Value::Decode(p + size_t(i) * size, mask);
}

template <class Value, bool kMasked>
__attribute__((target("avx2,fma"))) static void DecodeContiguousAvx2(const uint8_t* p, uint32_t size, uint32_t n,
                                                                      GpibMask mask, float* out)
{
    DecodeContiguousAligned<typename StepsForm<Value, DECODE_AVX2>::Type, kMasked>(p, size, n, mask, out);
}

// AVX-512 F and VL, kept to 256-bit registers.
#define AVX512_ON_YMM "avx2,fma,avx512f,avx512vl,prefer-vector-width=256"

template <class Value, bool kMasked>
__attribute__((target(AVX512_ON_YMM))) static void DecodeContiguousAvx512(const uint8_t* p, uint32_t size, uint32_t n,
                                                                           GpibMask mask, float* out)
{
    DecodeContiguousAligned<typename StepsForm<Value, DECODE_AVX512>::Type, kMasked>(p, size, n, mask, out);
}

// The widest steps the processor has, and the system keeps the registers of (libgcc asks both).
static DecodeSteps ProcessorSteps()
{
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma"))
        return DECODE_SSE2;
    if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512vl"))
        return DECODE_AVX2;
    return DECODE_AVX512;
}
#else
#define WIDE_LOOPS 0
static DecodeSteps ProcessorSteps() { return DECODE_SSE2; }
#endif

static const DecodeSteps s_widest = ProcessorSteps();
static DecodeSteps s_steps = s_widest;

DecodeSteps UseDecodeSteps(DecodeSteps most)
{
    s_steps = most < s_widest ? most : s_widest;
    return s_steps;
}

const char* DecodeStepsName(DecodeSteps steps)
{
    static const char* const kNames[] = { "SSE2", "AVX2", "AVX-512" };
    return unsigned(steps) < sizeof kNames / sizeof kNames[0] ? kNames[steps] : "?";
}

template <class Value, bool kMasked>
static void DecodeRunChosen(const uint8_t* p, uint32_t size, uint64_t stride, uint32_t n, GpibMask mask, float* out)
{
#if WIDE_LOOPS
    if (stride == size) {
        switch (s_steps) {
        case DECODE_AVX512: DecodeContiguousAvx512<Value, kMasked>(p, size, n, mask, out); return;
        case DECODE_AVX2: DecodeContiguousAvx2<Value, kMasked>(p, size, n, mask, out); return;
        case DECODE_SSE2: break;
        }
    }
#endif
    DecodeRun<Value, kMasked>(p, size, stride, n, mask, out);
}

// Values of fixed length stand at fixed places: header, then head + value + tail per value.
template <class Value>
static uint32_t DecodeFixed(const uint8_t* data, uint64_t length, const DecodeSettings* s, uint32_t size,
                            DecodeCursor* cursor, float* out, uint32_t maxOut)
{
    uint64_t stride = uint64_t(s->invalidHead) + size + s->invalidTail;
    uint64_t first = uint64_t(s->headerSize) + s->invalidHead;
    uint64_t whole = length >= first + size ? (length - first - size) / stride + 1 : 0;
    uint64_t limit = whole < s->valueCount ? whole : s->valueCount;
    uint64_t k = cursor->decoded;
    if (k >= limit)
        return 0;
    uint64_t todo = limit - k < maxOut ? limit - k : maxOut;
    const uint8_t* p = data + first + k * stride;
    const GpibMask mask = s->mask;
    uint32_t n = uint32_t(todo);
    if (mask.low == kNoMask.low && (size < 8 || mask.high == kNoMask.high))
        DecodeRunChosen<Value, false>(p, size, stride, n, mask, out);
    else
        DecodeRunChosen<Value, true>(p, size, stride, n, mask, out);
    cursor->decoded += n;
    return n;
}

// Number texts have no fixed length: each ends where its conversion stopped, and the one
// character after it (normally the separator) is skipped. Kept out of line: inlined into
// DecodeValues beside the binary loops, its loop's code moved with every change to them (by
// 4 %, either way).
__attribute__((noinline)) static uint32_t DecodeText(const uint8_t* data, uint64_t length, const DecodeSettings* s,
                                                     DecodeCursor* cursor, float* out, uint32_t maxOut)
{
    const char* text = reinterpret_cast<const char*>(data);
    const char* end = text + length;
    const bool masked = s->mask.low != kNoMask.low || s->mask.high != kNoMask.high;
    const uint64_t mask = uint64_t(s->mask.low) | (uint64_t(s->mask.high) << 32);
    uint32_t n = 0;
    while (n < maxOut && cursor->decoded < s->valueCount) {
        uint64_t at = cursor->pos + s->invalidHead;
        if (at >= length)
            break;
        const char* p = text + at;
        const char* stop;
        double value = ParseAsciiNumber(p, end, &stop);
        if (!stop) {
            // An overlong number: the whole run of number characters belongs to it.
            stop = p;
            while (stop < end && IsNumberTextChar(*stop))
                ++stop;
        }
        if (masked) {
            uint64_t bits;
            memcpy(&bits, &value, 8);
            bits &= mask;
            memcpy(&value, &bits, 8);
        }
        out[n++] = float(value);
        cursor->decoded++;
        cursor->pos = uint64_t(stop - text) + 1 + s->invalidTail;
    }
    return n;
}

uint32_t DecodeValues(const uint8_t* data, size_t length, const DecodeSettings* s,
                      DecodeCursor* cursor, float* out, uint32_t maxOut)
{
    switch (s->dataType) {
    case DATA_ASCII: return DecodeText(data, length, s, cursor, out, maxOut);
    case DATA_INT16: return DecodeFixed<Int16Value>(data, length, s, 2, cursor, out, maxOut);
    case DATA_UINT16: return DecodeFixed<UInt16Value>(data, length, s, 2, cursor, out, maxOut);
    case DATA_INT32: return DecodeFixed<Int32Value>(data, length, s, 4, cursor, out, maxOut);
    case DATA_UINT32: return DecodeFixed<UInt32Value>(data, length, s, 4, cursor, out, maxOut);
    case DATA_FLOAT32: return DecodeFixed<Float32Value>(data, length, s, 4, cursor, out, maxOut);
    default: return DecodeFixed<Float64Value>(data, length, s, 8, cursor, out, maxOut);
    }
}

// ---- into the ring ----

// No ring this run: the values are counted but kept nowhere, as RingPush does.
static int CountWithoutRing(const uint8_t* data, size_t length, const DecodeSettings* settings,
                            DecodeCursor* cursor, uint32_t* stored)
{
    float scratch[256];
    uint32_t n;
    while ((n = DecodeValues(data, length, settings, cursor, scratch, 256)) != 0)
        *stored += n;
    return 1;
}

// The ring is full: the next value, if the answer has one, overruns the unread ones.
static int Overrun(GpibChannelRuntime* rt, const uint8_t* data, size_t length,
                   const DecodeSettings* settings, DecodeCursor* cursor, uint32_t* stored)
{
    float value;
    if (DecodeValues(data, length, settings, cursor, &value, 1) == 0)
        return 1;
    ++*stored;
    return RingPush(rt, value);
}

int DecodeIntoRing(GpibChannelRuntime* rt, const uint8_t* data, size_t length,
                   const DecodeSettings* settings, uint32_t* stored)
{
    DecodeCursor cursor;
    StartDecoding(settings, &cursor);
    *stored = 0;
    for (;;) {
        RingSpan span;
        const RingState state = RingWritableSpan(rt, &span);
        if (state == RING_ABSENT)
            return CountWithoutRing(data, length, settings, &cursor, stored);
        if (state == RING_CORRUPT)
            return 0;   // refused: the answer's values are lost, and the caller says so
        if (span.room == 0)
            return Overrun(rt, data, length, settings, &cursor, stored);
        const uint32_t n = DecodeValues(data, length, settings, &cursor, span.at, span.room);
        *stored += n;
        RingCommit(rt, n);
        // Done when the span had room to spare or the answer's count is reached: an answer
        // that fills the span exactly needs no second look at the ring.
        if (n < span.room || cursor.decoded >= settings->valueCount)
            return 1;
    }
}

int DecodeIntoRing(ModuleRecord* module, int channel, const uint8_t* data, size_t length,
                   const DecodeSettings* settings, uint32_t* stored)
{
    return DecodeIntoRing(RingBlock(module, channel), data, length, settings, stored);
}
