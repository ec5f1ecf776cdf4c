// Fuzz target: the decoding of one instrument answer. Random settings (header, values per
// answer, skipped bytes, data type, mask text) and random answer bytes, held in a buffer of
// exactly the received length, go into a ring of random capacity and fill level. The values
// must equal those of a model decoder, and the ring must then hold what a model ring holds.
#include "extavik/data/gpibconvert.h"
#include "extavik/data/gpibring.h"
#include "fuzz/fuzzcheck.h"
#include "fuzz/models.h"
#include <stdint.h>
#include <string.h>
#include <deque>
#include <vector>

namespace {

uint32_t ModelHex(const char* text, size_t count)
{
    static const char kDigits[] = "0123456789abcdef0123456789ABCDEF";
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        const char* d = text[i] ? strchr(kDigits, text[i]) : nullptr;
        if (!d)
            break;
        value = value * 16 + uint32_t((d - kDigits) % 16);
    }
    return value;
}

GpibMask ModelMask(const char* field)
{
    size_t length = strnlen(field, GPIB_MASK_TEXT_SIZE);
    if (length == 0)
        return GpibMask{ 0xFFFFFFFFu, 0xFFFFFFFFu };
    if (length <= 8)
        return GpibMask{ ModelHex(field, length), 0 };
    return GpibMask{ ModelHex(field + length - 8, 8), ModelHex(field, length - 8) };
}

uint64_t Bytes(const uint8_t* p, int count)
{
    uint64_t v = 0;
    for (int i = count - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

float ModelFixed(const uint8_t* p, int32_t dataType, GpibMask m)
{
    uint64_t mask = (uint64_t(m.high) << 32) | m.low;
    switch (dataType) {
    case DATA_INT16: return float(int16_t(Bytes(p, 2) & m.low & 0xFFFF));
    case DATA_UINT16: return float(Bytes(p, 2) & m.low & 0xFFFF);
    case DATA_INT32: return float(int32_t(uint32_t(Bytes(p, 4) & m.low)));
    case DATA_UINT32: return float(double(Bytes(p, 4) & m.low));
    case DATA_FLOAT32: {
        uint32_t bits = uint32_t(Bytes(p, 4) & m.low);
        float f;
        memcpy(&f, &bits, 4);
        return f;
    }
    default: {
        uint64_t bits = Bytes(p, 8) & mask;
        double d;
        memcpy(&d, &bits, 8);
        return float(d);
    }
    }
}

// Header once, then per value: skipped head bytes, the value, skipped tail bytes. A value is
// only taken when its bytes lie inside the answer.
std::vector<float> ModelDecode(const uint8_t* data, uint64_t length, const DecodeSettings& s)
{
    std::vector<float> values;
    int size = s.dataType == DATA_ASCII ? 0
             : (s.dataType == DATA_INT16 || s.dataType == DATA_UINT16) ? 2
             : (s.dataType == DATA_INT32 || s.dataType == DATA_UINT32 || s.dataType == DATA_FLOAT32) ? 4 : 8;
    uint64_t p = s.headerSize;
    for (uint64_t k = 0; k < s.valueCount; ++k) {
        p += s.invalidHead;
        if (size == 0) {
            if (p >= length)
                break;
            const char* text = reinterpret_cast<const char*>(data) + p;
            long end;
            double v = ModelNumber(text, size_t(length - p), &end);
            if (end < 0) {
                // An overlong number: its whole run of number characters is used up.
                end = 0;
                while (p + end < length && text[end] && strchr("0123456789 +-.dDeE", text[end]))
                    ++end;
            }
            uint64_t bits;
            memcpy(&bits, &v, 8);
            bits &= (uint64_t(s.mask.high) << 32) | s.mask.low;
            memcpy(&v, &bits, 8);
            values.push_back(float(v));
            p += uint64_t(end) + 1 + s.invalidTail;
        } else {
            if (p + size > length)
                break;
            values.push_back(ModelFixed(data + p, s.dataType, s.mask));
            p += uint64_t(size) + s.invalidTail;
        }
    }
    return values;
}

// The ring's rule: it holds at most capacity - 1 values; the push that would fill it loses
// everything unread and the ring reads as empty.
struct ModelRing {
    uint32_t capacity;
    std::deque<float> values;

    int Push(float v)
    {
        if (capacity == 0)
            return 1;
        if (values.size() + 1 >= capacity) {
            values.clear();
            return 0;
        }
        values.push_back(v);
        return 1;
    }
};

uint32_t SmallOrLarge(FuzzInput& in, bool large)
{
    return large ? in.U32() : in.Byte();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in = { data, size, 0 };
    unsigned flags = in.Byte();
    DecodeSettings s;
    s.headerSize = SmallOrLarge(in, flags & 0x01);
    s.valueCount = (flags & 0x02) ? in.U32() : in.Byte() % 128;
    s.invalidHead = SmallOrLarge(in, flags & 0x04);
    s.invalidTail = SmallOrLarge(in, flags & 0x08);
    s.dataType = (flags & 0x10) ? int32_t(in.U32()) : int32_t(DATA_ASCII + in.Byte() % 8);
    char* maskField = new char[GPIB_MASK_TEXT_SIZE];
    for (int i = 0; i < GPIB_MASK_TEXT_SIZE; ++i)
        maskField[i] = char(in.Byte());
    s.mask = ParseMaskText(maskField, GPIB_MASK_TEXT_SIZE);
    GpibMask model = ModelMask(maskField);
    FUZZ_CHECK(s.mask.low == model.low && s.mask.high == model.high);
    delete[] maskField;

    uint32_t capacity = (flags & 0x20) ? in.U16() % 1024 : in.Byte() % 64;
    uint32_t start = capacity ? in.Byte() % capacity : 0;
    uint32_t prefill = capacity ? in.Byte() % capacity : 0;
    in.Byte();   // a channel number once; the ring is reached through its block alone
    unsigned chunk = in.Byte();

    size_t length = in.Left();
    uint8_t* answer = new uint8_t[length ? length : 1];
    memcpy(answer, in.Rest(), length);
    std::vector<float> expected = ModelDecode(answer, length, s);

    // In spans of a random size, as a caller filling destination blocks would.
    std::vector<float> decoded;
    DecodeCursor cursor;
    StartDecoding(&s, &cursor);
    uint32_t span = chunk % 17 + 1;
    float* out = new float[span];
    for (;;) {
        uint32_t n = DecodeValues(answer, length, &s, &cursor, out, span);
        FUZZ_CHECK(n <= span);
        decoded.insert(decoded.end(), out, out + n);
        if (n < span)
            break;
    }
    delete[] out;
    FUZZ_CHECK(decoded.size() == expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        FUZZ_CHECK(SameFloat(decoded[i], expected[i]));

    // Into the ring, which already holds some values.
    static GpibChannelRuntime runtime;
    memset(&runtime, 0, sizeof runtime);
    runtime.ring = capacity ? new float[capacity] : nullptr;
    runtime.ringCapacity = capacity;
    runtime.ringRead = runtime.ringWrite = start;
    ModelRing ring = { capacity, {} };
    for (uint32_t i = 0; i < prefill; ++i)
        FUZZ_CHECK(RingPush(&runtime, float(1000 + i)) == ring.Push(float(1000 + i)));

    uint32_t stored = 0xDEADBEEF;
    int fits = DecodeIntoRing(&runtime, answer, length, &s, &stored);
    int modelFits = 1;
    uint32_t modelStored = 0;
    for (float v : expected) {
        ++modelStored;
        if (!ring.Push(v)) {
            modelFits = 0;
            break;
        }
    }
    FUZZ_CHECK(fits == modelFits);
    FUZZ_CHECK(stored == modelStored);

    float* drained = new float[capacity ? capacity : 1];
    int32_t full = 7;
    int32_t count = RingDrain(&runtime, capacity, drained, &full);
    FUZZ_CHECK(full == 0);
    FUZZ_CHECK(size_t(count) == ring.values.size());
    for (int32_t i = 0; i < count; ++i)
        FUZZ_CHECK(SameFloat(drained[i], ring.values[size_t(i)]));
    FUZZ_CHECK(RingDrain(&runtime, capacity, drained, &full) == 0);
    delete[] drained;
    delete[] runtime.ring;
    delete[] answer;
    return 0;
}
