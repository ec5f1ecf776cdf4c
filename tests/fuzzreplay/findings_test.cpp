// Answers and settings that the fuzzers found to go wrong, kept as named cases.
#include <gtest/gtest.h>
#include <string.h>
#include <vector>

#include "extavik/data/gpibconvert.h"

namespace {

// Skipped-byte counts near 2^32 (a worksheet stored by another tool): each value's step is
// larger than the address space. Only the values inside the answer are decoded, and no step
// beyond the answer is taken.
TEST(FuzzFindings, HugeSkippedTailDecodesOnlyTheFirstValue)
{
    static const uint8_t answer[] = { 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F, 0x01, 0x02, 0x03 };
    for (int32_t type : { DATA_FLOAT64, DATA_INT16, DATA_FLOAT32 }) {
        DecodeSettings s = {};
        s.valueCount = 207;
        s.invalidTail = 0xFFFFFFFFu;
        s.dataType = type;
        s.mask = GpibMask{ 0xFFFFFFFFu, 0xFFFFFFFFu };
        DecodeCursor cursor;
        StartDecoding(&s, &cursor);
        float out[4] = {};
        EXPECT_EQ(1u, DecodeValues(answer, sizeof answer, &s, &cursor, out, 4)) << type;
        EXPECT_EQ(0u, DecodeValues(answer, sizeof answer, &s, &cursor, out, 4)) << type;
    }
}

}  // namespace
