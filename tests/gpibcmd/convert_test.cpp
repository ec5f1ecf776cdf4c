// Decoding of answers on its own: bytes and settings in, samples out.
#include <gtest/gtest.h>
#include <float.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <random>
#include <string>
#include <vector>
#include "extavik/data/gpibconvert.h"

namespace {

DecodeSettings Settings(int32_t type, uint32_t count, const char* mask = "")
{
    DecodeSettings s = {};
    s.dataType = type;
    s.valueCount = count;
    s.mask = ParseMaskText(mask, strlen(mask) + 1);
    return s;
}

std::vector<float> Decode(const std::vector<uint8_t>& bytes, const DecodeSettings& s)
{
    std::vector<float> out(s.valueCount + 4, -999.0f);
    DecodeCursor cursor;
    StartDecoding(&s, &cursor);
    uint32_t n = DecodeValues(bytes.data(), bytes.size(), &s, &cursor, out.data(), uint32_t(out.size()));
    out.resize(n);
    return out;
}

std::vector<uint8_t> Bytes(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(Mask, Forms)
{
    struct {
        const char* text;
        uint32_t low, high;
    } cases[] = {
        { "", 0xFFFFFFFF, 0xFFFFFFFF },
        { "00FF", 0xFF, 0 },
        { "ffffffff", 0xFFFFFFFF, 0 },
        { "0000FFFFFFFF", 0xFFFFFFFF, 0 },
        { "123456789ABCDEF0", 0x9ABCDEF0, 0x12345678 },
        { "1G", 0x1, 0 },
        { "xyz", 0, 0 },
        { "ABCDEFGH12345678", 0x12345678, 0xABCDEF },
    };
    for (auto& c : cases) {
        GpibMask m = ParseMaskText(c.text, 16);
        EXPECT_EQ(m.low, c.low) << c.text;
        EXPECT_EQ(m.high, c.high) << c.text;
    }
    char full[16];
    memset(full, 'F', sizeof full);   // a field without NUL: 16 digits
    GpibMask m = ParseMaskText(full, sizeof full);
    EXPECT_EQ(m.low, 0xFFFFFFFFu);
    EXPECT_EQ(m.high, 0xFFFFFFFFu);
}

struct BinaryCase {
    const char* name;
    int32_t type;
    std::vector<uint8_t> bytes;
    const char* mask;
    std::vector<float> samples;
};

const BinaryCase kBinary[] = {
    { "int16 max", DATA_INT16, { 0xFF, 0x7F }, "", { 32767.0f } },
    { "int16 min", DATA_INT16, { 0x00, 0x80 }, "", { -32768.0f } },
    { "int16 masked", DATA_INT16, { 0x34, 0x12 }, "00FF", { 52.0f } },
    { "uint16", DATA_UINT16, { 0xFF, 0xFF, 0x01, 0x00 }, "", { 65535.0f, 1.0f } },
    { "uint16 mask keeps 16 bits", DATA_UINT16, { 0xFF, 0xFF }, "FFFFFFFF", { 65535.0f } },
    { "int32", DATA_INT32, { 0xFF, 0xFF, 0xFF, 0xFF }, "", { -1.0f } },
    { "uint32", DATA_UINT32, { 0xFF, 0xFF, 0xFF, 0xFF }, "", { 4294967296.0f } },
    { "uint32 masked", DATA_UINT32, { 0x78, 0x56, 0x34, 0x12 }, "FF00", { 0x5600 } },
    { "float32", DATA_FLOAT32, { 0x00, 0x00, 0xC0, 0x3F }, "", { 1.5f } },
    { "float32 masked", DATA_FLOAT32, { 0x01, 0x00, 0xC0, 0x3F }, "FFFFFF00", { 1.5f } },
    { "float64", DATA_FLOAT64, { 0, 0, 0, 0, 0, 0, 0xF0, 0x3F }, "", { 1.0f } },
    { "float64 high mask", DATA_FLOAT64, { 0, 0, 0, 0, 0, 0, 0xF8, 0x3F }, "FFF0000000000000", { 1.0f } },
    { "other type is float64", 1234, { 0, 0, 0, 0, 0, 0, 0x00, 0x40 }, "", { 2.0f } },
};

class BinaryTable : public ::testing::TestWithParam<BinaryCase> {};

TEST_P(BinaryTable, Decodes)
{
    const BinaryCase& t = GetParam();
    EXPECT_EQ(Decode(t.bytes, Settings(t.type, uint32_t(t.samples.size()), t.mask)), t.samples);
}

INSTANTIATE_TEST_SUITE_P(Types, BinaryTable, ::testing::ValuesIn(kBinary),
                         [](const ::testing::TestParamInfo<BinaryCase>& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (!isalnum((unsigned char)c))
                                     c = '_';
                             return n;
                         });

TEST(Layout, HeaderHeadAndTail)
{
    DecodeSettings s = Settings(DATA_INT16, 2);
    s.headerSize = 4;
    s.invalidHead = 1;
    s.invalidTail = 2;
    // header (never decoded) | head, value, tail | head, value
    std::vector<uint8_t> bytes = { 0x01, 0x02, 0x03, 0x04, 0xEE, 0x05, 0x00, 0xEE, 0xEE, 0xEE, 0x06, 0x00 };
    EXPECT_EQ(Decode(bytes, s), (std::vector<float>{ 5.0f, 6.0f }));
}

// A short answer yields only the values it holds; the last value needs no tail.
TEST(Layout, ShortAnswer)
{
    DecodeSettings s = Settings(DATA_INT32, 5);
    s.invalidTail = 1;
    std::vector<uint8_t> bytes = { 1, 0, 0, 0, 0xEE, 2, 0, 0, 0, 0xEE, 3, 0 };
    EXPECT_EQ(Decode(bytes, s), (std::vector<float>{ 1.0f, 2.0f }));
    s.headerSize = 100;
    EXPECT_TRUE(Decode(bytes, s).empty());
    EXPECT_TRUE(Decode(bytes, Settings(DATA_ASCII, 0)).empty());
}

// Decoding can go on into a second destination where the first one ended.
TEST(Layout, ResumesAcrossSpans)
{
    DecodeSettings s = Settings(DATA_ASCII, 4);
    std::vector<uint8_t> bytes = Bytes("1,2,3,4\r\n");
    DecodeCursor cursor;
    StartDecoding(&s, &cursor);
    float a[3], b[3];
    ASSERT_EQ(DecodeValues(bytes.data(), bytes.size(), &s, &cursor, a, 3), 3u);
    ASSERT_EQ(DecodeValues(bytes.data(), bytes.size(), &s, &cursor, b, 3), 1u);
    EXPECT_EQ(b[0], 4.0f);
    EXPECT_EQ(DecodeValues(bytes.data(), bytes.size(), &s, &cursor, b, 3), 0u);
}

struct TextCase {
    const char* name;
    const char* answer;
    uint32_t count;
    std::vector<float> samples;
};

const TextCase kText[] = {
    { "comma separated", "1.5,2.5,3.5\r\n", 3, { 1.5f, 2.5f, 3.5f } },
    { "d exponent", "+1.25D+02", 1, { 125.0f } },
    { "e exponent", "-3E-1;", 1, { -0.3f } },
    { "blank ends number", " 7 8", 2, { 7.0f, 8.0f } },
    { "no number gives 0", "abc,5", 2, { 0.0f, 0.0f } },
    { "exponent without digits", "2e,3", 2, { 2.0f, 0.0f } },
    { "fewer numbers than asked", "1;2", 5, { 1.0f, 2.0f } },
};

class TextTable : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextTable, Decodes)
{
    const TextCase& t = GetParam();
    EXPECT_EQ(Decode(Bytes(t.answer), Settings(DATA_ASCII, t.count)), t.samples);
}

INSTANTIATE_TEST_SUITE_P(Ascii, TextTable, ::testing::ValuesIn(kText),
                         [](const ::testing::TestParamInfo<TextCase>& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (!isalnum((unsigned char)c))
                                     c = '_';
                             return n;
                         });

TEST(AsciiNumber, EndPositions)
{
    struct {
        const char* text;
        double value;
        int end;
    } cases[] = {
        { "12.5,", 12.5, 4 }, { "  -1e3x", -1000.0, 6 }, { "+.5", 0.5, 3 }, { ".", 0.0, 0 },
        { "+", 0.0, 0 }, { "x1", 0.0, 0 }, { "1e+", 1.0, 1 }, { "-0", -0.0, 2 }, { "4D-1", 0.4, 4 },
        { "1.2.3,", 1.2, 3 }, { "7 8", 7.0, 1 }, { "5e2e1", 500.0, 3 },
    };
    for (auto& c : cases) {
        const char* stop = nullptr;
        double v = ParseAsciiNumber(c.text, c.text + strlen(c.text), &stop);
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_EQ(stop - c.text, c.end) << c.text;
    }
}

TEST(AsciiNumber, SixtyFourCharacters)
{
    std::string digits(64, '1');
    const char* stop = nullptr;
    std::string more = digits + "2,";
    EXPECT_EQ(ParseAsciiNumber(more.c_str(), more.c_str() + more.size(), &stop), DBL_MAX);
    EXPECT_EQ(stop, nullptr);
    std::string exact = digits;   // nothing behind it: converted normally
    EXPECT_DOUBLE_EQ(ParseAsciiNumber(exact.c_str(), exact.c_str() + exact.size(), &stop), 1.1111111111111111e63);
    EXPECT_EQ(stop, exact.c_str() + 64);
    // The run of number characters counts, not the number read from it: spaces after it too.
    std::string padded = "1.5" + std::string(62, ' ') + ",";
    EXPECT_EQ(ParseAsciiNumber(padded.c_str(), padded.c_str() + padded.size(), &stop), DBL_MAX);
    EXPECT_EQ(stop, nullptr);
    // The overlong number's whole run is skipped; decoding goes on after its separator.
    std::string answer = std::string(70, '1') + ",2.5";
    std::vector<float> samples = Decode(Bytes(answer), Settings(DATA_ASCII, 2));
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[1], 2.5f);
}

TEST(AsciiNumber, MaskAppliesToDoubleBits)
{
    // 1.75 = 0x3FFC000000000000; clearing the high half's low byte keeps it, a mask of 0 clears it.
    EXPECT_EQ(Decode(Bytes("1.75"), Settings(DATA_ASCII, 1, "FFF8000000000000")), std::vector<float>{ 1.5f });
    EXPECT_EQ(Decode(Bytes("1.75"), Settings(DATA_ASCII, 1, "0")), std::vector<float>{ 0.0f });
}

// The fast conversion must give exactly the double strtod gives.
double Strtod(const std::string& text)
{
    std::string copy = text;
    for (char& c : copy)
        if (c == 'd' || c == 'D')
            c = 'e';
    return strtod(copy.c_str(), nullptr);
}

void ExpectSameAsStrtod(const std::string& text)
{
    const char* stop;
    double mine = ParseAsciiNumber(text.c_str(), text.c_str() + text.size(), &stop);
    double ref = Strtod(text);
    uint64_t a, b;
    memcpy(&a, &mine, 8);
    memcpy(&b, &ref, 8);
    ASSERT_EQ(a, b) << text << " gives " << mine << ", strtod " << ref;
}

TEST(AsciiNumber, EqualsStrtodOnHardCases)
{
    const char* cases[] = {
        "9007199254740993", "9007199254740992", "9007199254740995", "18014398509481985",
        "1234567890123456789", "9999999999999999999", "0.1", "0.3", "2.2250738585072014e-308",
        "1.7976931348623157e308", "4.9e-324", "1e23", "8.589973e9", "1e-22", "1e22", "1e-23",
        "123456789012345678e-22", "1.000000000000000111", "0.99999999999999994448884876874217297881841659545898437500000001",
        "12345678901234567890", "5e-324", "1e400", "-1e400", "7.2057594037927933e16",
        "3.0000000000000004440892098500626", "1.00000000000000011102230246251565404236316680908203125",
        "1.0000000000000001110223024625156540", "1.0000000000000001110223024625156541",
        "2.00000000000000044408920985006261616945267", "  +123.456e-3", "00000000000000000000001.5",
        "0.000000000000000000000000000001", "100000000000000000000000000", "1.8446744073709551615e19",
        "9.007199254740993e-5", "4.503599627370497e15",
        // Around the ninth and the nineteenth significant digit, behind leading zeros, and with
        // trailing zeros that put the exponent out of reach until they are moved into it.
        "123456789", "1234567891", "0.0001234567891", "-000123456789.1", "1234567890123456789.5",
        "0.00000000001234567890123456789", "1.00000000e-20", "1000000000e-31", "4.000000000000000000e-23",
        "9999999999999999999e-20", "10000000000000000000",
    };
    for (const char* c : cases)
        ExpectSameAsStrtod(c);
}

TEST(AsciiNumber, EqualsStrtodOnRandomTexts)
{
    std::mt19937_64 rng(12345);
    char text[80];
    for (int i = 0; i < 100000; ++i) {
        int digits = 1 + int(rng() % 19);
        uint64_t mantissa = rng() % 10000000000000000000ull;
        std::string m = std::to_string(mantissa);
        if (int(m.size()) > digits)
            m.resize(digits);
        int point = int(rng() % (m.size() + 1));
        int exponent = int(rng() % 61) - 30;
        const char* letter = (rng() & 1) ? "E" : "d";
        snprintf(text, sizeof text, "%s%s.%s%s%+d", (rng() & 1) ? "-" : "", m.substr(0, point).c_str(),
                 m.substr(point).c_str(), letter, exponent);
        ExpectSameAsStrtod(text);
    }
    // Printed doubles round-trip through the parser exactly.
    std::uniform_real_distribution<double> dist(-1e6, 1e6);
    for (int i = 0; i < 20000; ++i) {
        snprintf(text, sizeof text, "%.17g", dist(rng));
        ExpectSameAsStrtod(text);
        snprintf(text, sizeof text, "%+.6E", dist(rng));
        ExpectSameAsStrtod(text);
    }
}

}  // namespace

namespace {

// The wider loops give the bits of the 128-bit ones: every bit pattern of every binary type
// (NaNs, subnormals, values past the float range, unsigned values of 25 and more bits), with
// and without a mask, for counts around the loop width and outputs at every alignment.
TEST(WideLoops, GiveTheBitsOfTheNarrowOnes)
{
    const int32_t types[] = { DATA_INT16, DATA_UINT16, DATA_INT32, DATA_UINT32, DATA_FLOAT32, DATA_FLOAT64 };
    const char* const masks[] = { "", "7FFF0FFF", "FFFFFFFF000FFFFF" };
    const uint32_t counts[] = { 1, 7, 8, 9, 17, 1003 };
    std::mt19937 rng(25);
    std::vector<uint8_t> answer(1003 * 8);
    for (uint8_t& b : answer)
        b = uint8_t(rng());
    const uint8_t special[][8] = {
        { 0xFF, 0xFF, 0xFF, 0xFF }, { 0, 0, 0, 0x80 }, { 1, 0, 0, 1 }, { 0x7F, 0, 0, 0x80 },
        { 1, 0, 0, 0, 0, 0, 0, 0 }, { 0, 0, 0, 0, 0, 0, 0xF0, 0x7F }, { 0, 0, 0, 0xE0, 0xFF, 0xFF, 0xEF, 0x47 },
        { 0, 0, 0, 0x10, 0, 0, 0xA0, 0x36 }, { 1, 0, 0, 0, 0, 0, 0xF8, 0xFF },
    };
    for (size_t i = 0; i < sizeof special / sizeof special[0]; ++i)
        memcpy(&answer[i * 24], special[i], 8);
    int tried = 0;
    for (int k = DECODE_AVX2; k <= DECODE_WIDEST; ++k) {
        const DecodeSteps steps = DecodeSteps(k);
        if (UseDecodeSteps(steps) != steps)
            continue;   // not on this processor
        ++tried;
        for (int32_t type : types)
            for (const char* mask : masks)
                for (uint32_t count : counts)
                    for (size_t offset = 0; offset < 8; ++offset) {
                        DecodeSettings s = Settings(type, count, mask);
                        std::vector<float> narrow(count + 8), wide(count + 8);
                        DecodeCursor cursor;
                        UseDecodeSteps(DECODE_SSE2);
                        StartDecoding(&s, &cursor);
                        EXPECT_EQ(DecodeValues(answer.data(), answer.size(), &s, &cursor, &narrow[offset], count), count);
                        UseDecodeSteps(steps);
                        StartDecoding(&s, &cursor);
                        EXPECT_EQ(DecodeValues(answer.data(), answer.size(), &s, &cursor, &wide[offset], count), count);
                        EXPECT_EQ(memcmp(narrow.data(), wide.data(), narrow.size() * sizeof(float)), 0)
                            << DecodeStepsName(steps) << ": type " << type << ", mask \"" << mask << "\", " << count
                            << " values at offset " << offset;
                    }
    }
    UseDecodeSteps(DECODE_WIDEST);
    if (!tried)
        GTEST_SKIP() << "this processor has no wider steps than SSE2";
}

// Unsigned values of 25 and more bits are rounded once, to the nearest float (ties to even), by
// every loop: values on and next to the halfway points between floats, in runs long enough for
// the wide loops' eight-at-a-time body.
TEST(WideLoops, RoundUnsignedValuesOnce)
{
    const uint32_t values[] = { 0x01000001, 0x01000003, 0x02000002, 0x02000006, 0x7FFFFFC0, 0x7FFFFFBF,
                                0x80000080, 0x80000180, 0x8000007F, 0x80000081, 0xFFFFFF7F, 0xFFFFFF80,
                                0xFFFFFE80, 0xFFFFFFFF, 0x00FFFFFF, 0x12345678 };
    const size_t kRun = 19;
    for (uint32_t v : values) {
        std::vector<uint8_t> answer(kRun * 4);
        for (size_t i = 0; i < kRun; ++i)
            memcpy(&answer[i * 4], &v, 4);
        const float nearest = float(double(v));
        for (int k = DECODE_SSE2; k <= DECODE_WIDEST; ++k) {
            const DecodeSteps steps = DecodeSteps(k);
            if (UseDecodeSteps(steps) != steps)
                continue;   // not on this processor
            std::vector<float> got = Decode(answer, Settings(DATA_UINT32, kRun));
            EXPECT_EQ(got, std::vector<float>(kRun, nearest))
                << std::hex << "0x" << v << " (" << DecodeStepsName(steps) << ")";
        }
    }
    UseDecodeSteps(DECODE_WIDEST);
}

struct RingFixture {
    ModuleRecord module = {};
    GpibChannelRuntime channel = {};
    std::vector<float> ring;
    explicit RingFixture(uint32_t capacity) : ring(capacity + 1, -1.0f)
    {
        module.channel[2] = &channel;
        channel.ring = ring.data();
        channel.ringCapacity = capacity;
    }
};

TEST(DecodeIntoRing, WrapsAndOverflows)
{
    RingFixture f(5);
    f.channel.ringRead = f.channel.ringWrite = 3;
    DecodeSettings s = Settings(DATA_ASCII, 4);
    std::vector<uint8_t> answer = Bytes("1,2,3,4");
    uint32_t stored;
    ASSERT_EQ(DecodeIntoRing(&f.module, 2, answer.data(), answer.size(), &s, &stored), 1);
    EXPECT_EQ(stored, 4u);
    EXPECT_EQ(f.channel.ringWrite, 2u);
    EXPECT_EQ((std::vector<float>(f.ring.begin(), f.ring.begin() + 5)), (std::vector<float>{ 3, 4, -1, 1, 2 }));
    EXPECT_EQ(f.ring[5], -1.0f);   // nothing past the ring

    // One more value fits (capacity - 1 unread), the next one overruns the unread values.
    s.valueCount = 2;
    answer = Bytes("5,6");
    EXPECT_EQ(DecodeIntoRing(&f.module, 2, answer.data(), answer.size(), &s, &stored), 0);
    EXPECT_EQ(f.channel.ringWrite, f.channel.ringRead);
    EXPECT_EQ(f.ring[5], -1.0f);
}

// The count an answer should hold decides an overrun, not its length: an answer that fills the
// ring's room exactly is stored whole, and what it carries beyond its count is not a value of it.
TEST(DecodeIntoRing, AnswerThatFillsTheRingExactlyOverrunsNothing)
{
    const std::vector<uint8_t> answer = Bytes("1,2,3,4,5");
    for (uint32_t start : { 0u, 3u }) {   // one span, and one that wraps
        for (uint32_t count : { 4u, 5u }) {
            RingFixture f(5);
            f.channel.ringRead = f.channel.ringWrite = start;
            DecodeSettings s = Settings(DATA_ASCII, count);
            uint32_t stored;
            const int fits = count <= 4;
            EXPECT_EQ(DecodeIntoRing(&f.module, 2, answer.data(), answer.size(), &s, &stored), fits)
                << "start " << start << ", count " << count;
            EXPECT_EQ(stored, count) << "start " << start;
            EXPECT_EQ(f.ring[5], -1.0f);
        }
    }
}

TEST(DecodeIntoRing, WithoutRingCountsOnly)
{
    ModuleRecord module = {};
    GpibChannelRuntime channel = {};
    module.channel[0] = &channel;
    DecodeSettings s = Settings(DATA_INT16, 1000);
    std::vector<uint8_t> answer(2000, 0);
    uint32_t stored;
    EXPECT_EQ(DecodeIntoRing(&module, 0, answer.data(), answer.size(), &s, &stored), 1);
    EXPECT_EQ(stored, 1000u);
}

}  // namespace
