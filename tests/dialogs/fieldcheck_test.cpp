// The field checks as the dialogs use them: which texts pass and which value they give.
#include <gtest/gtest.h>
#include <string.h>

#include "extavik/data/fieldcheck.h"

namespace {

struct IntegerCase {
    const char* text;
    int32_t min, max;
    int accepted;
    int32_t value;
};

const IntegerCase INTEGER_CASES[] = {
    {"", 0, 31, 1, 0},                 // empty counts as 0
    {"   ", 0, 31, 1, 0},              // spaces only too
    {" 12 ", 0, 31, 1, 12},
    {"\t\t7", 0, 31, 1, 7},            // leading tabs are skipped
    {"12\r\n", 0, 31, 1, 12},          // line ends are ignored
    {"31", 0, 31, 1, 31},
    {"32", 0, 31, 0, 32},
    {"-1", 0, 31, 0, 0},               // a sign is no digit
    {"+1", 0, 31, 0, 0},
    {"1 2", 0, 31, 0, 1},              // two numbers
    {"12a", 0, 31, 0, 12},             // a number followed by a letter
    {"\t", 0, 31, 0, 0},               // a lone tab
    {" \t", 0, 31, 0, 0},              // blank, but a space must be followed by spaces only
    {"1\t", 0, 31, 0, 1},
    {"\x82\x4f", 0, 31, 0, 0},         // a full-width digit is no ASCII digit
    {"0", 1, 8192, 0, 0},
    {"8192", 1, 8192, 1, 8192},
    {"65536", 0, 65535, 0, 65536},
    {"99999999999", 0, 65535, 0, INT32_MAX},   // saturates, never wraps into the range
    {"000000000000000000007", 0, 7, 1, 7},     // 21 characters are looked at
    {"0000000000000000000007", 0, 7, 1, 0},    // the 22nd is not: the buffer holds 21
};

TEST(FieldCheck, IntegerTexts)
{
    for (const IntegerCase& c : INTEGER_CASES) {
        int32_t value = -12345;
        EXPECT_EQ(c.accepted, CheckIntegerText(c.text, c.min, c.max, &value)) << "text \"" << c.text << "\"";
        EXPECT_EQ(c.value, value) << "text \"" << c.text << "\"";
    }
}

struct HexCase {
    const char* text;
    int accepted;
};

const HexCase HEX_CASES[] = {
    {"", 1}, {"ff", 1}, {"FF", 1}, {"0aF9", 1}, {"  ff  ", 1}, {"f\r\nf", 1},
    {"G1", 0}, {"f f", 0}, {"\tff", 0}, {"0x1f", 0}, {"-1", 0},
};

TEST(FieldCheck, HexTexts)
{
    for (const HexCase& c : HEX_CASES)
        EXPECT_EQ(c.accepted, CheckHexText(c.text)) << "text \"" << c.text << "\"";
}

struct DecimalCase {
    const char* text;
    char separator;
    int accepted;
    double value;
};

const DecimalCase DECIMAL_CASES[] = {
    {"0.01", '.', 1, 0.01},
    {"60000.0", '.', 1, 60000.0},
    {"60000.1", '.', 0, 60000.1},
    {"0.005", '.', 0, 0.005},
    {"", '.', 0, 0.0},               // empty is 0, below the least interval
    {"0,5", '.', 0, 0.5},            // a comma fails the character test
    {" 1.000", '.', 1, 1.0},         // the list entries
    {"10.000 ", '.', 1, 10.0},
    {"1.2.3", '.', 1, 1.2},          // conversion stops at the second point
    {"1e3", '.', 0, 1000.0},         // letters fail, even an exponent
    {"-1", '.', 0, -1.0},
    {".5", '.', 1, 0.5},
    {"0.5", ',', 1, 0.5},
};

TEST(FieldCheck, DecimalTexts)
{
    for (const DecimalCase& c : DECIMAL_CASES) {
        char text[FIELD_TEXT_SIZE];
        strcpy(text, c.text);
        double value = -1;
        EXPECT_EQ(c.accepted, CheckDecimalText(text, 0.01, 60000.0, c.separator, &value)) << "text \"" << c.text << "\"";
        EXPECT_DOUBLE_EQ(c.value, value) << "text \"" << c.text << "\"";
    }
}

struct ParseCase {
    const char* text;
    char separator;
    double value;
    const char* rewritten;
};

const ParseCase PARSE_CASES[] = {
    {"0,5", '.', 0.5, "0.5"},
    {"2;25", ';', 2.25, "2.25"},     // the host's own separator
    {"2;25", '\0', 2.0, "2;25"},     // no separator: only commas change
    {"1,5,5", ',', 1.5, "1.5.5"},
    {"  -3.5e2x", '.', -350.0, "  -3.5e2x"},
    {"1e", '.', 1.0, "1e"},          // an exponent needs digits
    {"inf", '.', 0.0, "inf"},        // only plain decimal numbers
    {"0x10", '.', 0.0, "0x10"},
    {"abc", '.', 0.0, "abc"},
};

TEST(FieldCheck, ParseDecimalRewritesSeparatorsAndReadsTheLeadingNumber)
{
    for (const ParseCase& c : PARSE_CASES) {
        char text[FIELD_TEXT_SIZE];
        strcpy(text, c.text);
        EXPECT_DOUBLE_EQ(c.value, ParseDecimal(text, c.separator)) << "text \"" << c.text << "\"";
        EXPECT_STREQ(c.rewritten, text) << "text \"" << c.text << "\"";
    }
}

}  // namespace
