// Worksheet loading: every refusal names the file, the module and the field; accepted settings
// land at the right place of the parameter block.
#include <gtest/gtest.h>
#include <cstring>
#include <vector>
#include "extavik/data/gpibconvert.h"
#include "host/runner/worksheet.h"

namespace {

// Worksheets are UTF-8 files: keep the text UTF-8 whatever the execution character set.
const char* BASE = u8R"({
  "experiment": {"samplePeriodMs": 20, "blockSize": 32, "cycles": 50},
  "modules": [
    {"name": "DMM-Q", "type": "GPIB-OUT", "myAddress": 30, "outMode": "always",
     "channels": [{"primaryAddress": 22, "commandText": "SEND \"READ?\""}]},
    {"name": "DMM-IN", "type": "GPIB-IN", "myAddress": 30, "busTimeout": 7,
     "channels": [{"dataType": "float32", "maskText": "00FF", "requestInterval": 0.5,
                   "channelName": "電圧", "ppollSense": "0"}, {"terminator": "lf"}]}
  ],
  "actions": [{"cycle": 10, "module": "DMM-IN", "action": "run", "channels": [1]}]
})";

struct Refusal {
    const char* replace;   // text of BASE to replace
    const char* with;
    const char* expected;  // part of the message
};

std::string Patched(const Refusal& r)
{
    std::string text = BASE;
    size_t at = text.find(r.replace);
    EXPECT_NE(at, std::string::npos) << r.replace;
    if (at != std::string::npos) text.replace(at, strlen(r.replace), r.with);
    return text;
}

}  // namespace

TEST(Worksheet, RefusalsNameFileModuleAndField)
{
    const Refusal cases[] = {
        {"\"dataType\": \"float32\"", "\"dataType\": \"float16\"", "sheet.json: line 7: module 'DMM-IN': field 'channels[0].dataType' has the unknown value float16"},
        {"\"busTimeout\": 7", "\"busTimeout\": 61", "module 'DMM-IN': field 'busTimeout' is 61, outside 0..60"},
        {"\"primaryAddress\": 22", "\"primaryAddress\": 32", "module 'DMM-Q': field 'channels[0].primaryAddress' is 32, outside 0..31"},
        {"\"requestInterval\": 0.5", "\"requestInterval\": 0.005", "field 'channels[0].requestInterval' is 0.005"},
        {"\"maskText\": \"00FF\"", "\"maskText\": \"G1\"", "field 'channels[0].maskText' must hold hexadecimal digits only"},
        {"\"maskText\": \"00FF\"", "\"maskText\": \"0123456789ABCDEF\"", "field 'channels[0].maskText' is longer than 15 bytes"},
        {"\"terminator\": \"lf\"", "\"terminater\": \"lf\"", "field 'channels[1].terminater' is not a known field"},
        {"\"myAddress\": 30, \"busTimeout\"", "\"myAddress\": 31, \"busTimeout\"", "module 'DMM-IN': field 'myAddress' must be a whole number 0..30"},
        {"\"type\": \"GPIB-IN\"", "\"type\": \"GPIB-INN\"", "module 'DMM-IN': field 'type' is GPIB-INN"},
        {"\"channels\": [1]", "\"channels\": [2]", "action #1: field 'channels' names a channel the module does not have"},
        {"\"module\": \"DMM-IN\"", "\"module\": \"DMM\"", "action #1: field 'module': no module is named 'DMM'"},
        {"\"cycles\": 50", "\"cycles\": 0", "experiment: field 'cycles' must be a whole number"},
        {"\"cycles\": 50}", "\"cycles\": 50,}", "sheet.json: line 2, column 70: syntax error"},
        {u8"\"channelName\": \"電圧\"", u8"\"channelName\": \"チャンネル名がとても長い\"", "field 'channels[0].channelName' is longer than 19 bytes"},
    };
    for (const Refusal& r : cases) {
        Worksheet sheet;
        std::string error;
        EXPECT_FALSE(ParseWorksheetText(Patched(r), "sheet.json", sheet, error)) << r.with;
        EXPECT_NE(error.find(r.expected), std::string::npos) << "message: " << error << "\nexpected: " << r.expected;
    }
}

TEST(Worksheet, AssignmentsLandInTheBlock)
{
    Worksheet sheet;
    std::string error;
    ASSERT_TRUE(ParseWorksheetText(BASE, "sheet.json", sheet, error)) << error;
    ASSERT_EQ(sheet.modules.size(), 2u);
    EXPECT_EQ(sheet.samplePeriodMs, 20.0);
    EXPECT_EQ(sheet.blockSize, 32u);
    EXPECT_EQ(sheet.modules[1].channels, 2);
    ASSERT_EQ(sheet.actions.size(), 1u);
    EXPECT_EQ(sheet.actions[0].mask, 2u);

    static GpibModuleParams params;
    static ModuleRecord record;
    memset(&params, 0x55, sizeof params);
    record.params = &params;
    ApplyAssignments(sheet.modules[1], &record);
    EXPECT_EQ(params.busTimeout, 7);
    EXPECT_EQ(params.dataType[0], DATA_FLOAT32);
    EXPECT_STREQ(params.maskText[0], "00FF");
    EXPECT_EQ(params.requestInterval[0], 0.5);
    EXPECT_EQ(params.ppollSense[0], PPOLL_SENSE_0);
    EXPECT_EQ(params.terminator[1], TERM_LF);
    EXPECT_EQ(params.dataType[1], 0x55555555);  // untouched
    EXPECT_STREQ(params.channelName[0], "\x93\x64\x88\xb3");  // 電圧 in code page 932

    ApplyAssignments(sheet.modules[0], &record);
    EXPECT_EQ(params.outMode, OUT_MODE_ALWAYS);
    EXPECT_EQ(params.addr[0].primaryAddress, 22);
    EXPECT_STREQ(params.commandText[0], "SEND \"READ?\"");
}

// Each data-type name stores the type that decodes as that name says: the same answer bytes are
// -1 as a signed and 65535 as an unsigned 16-bit value, and so on.
TEST(Worksheet, DataTypeNamesDecodeAsTheySay)
{
    struct Row { const char* name; std::vector<uint8_t> answer; float value; };
    static const Row rows[] = {
        {"int16", {0xFF, 0xFF}, -1.0f},
        {"uint16", {0xFF, 0xFF}, 65535.0f},
        {"int32", {0xFF, 0xFF, 0xFF, 0xFF}, -1.0f},
        {"uint32", {0xFF, 0xFF, 0xFF, 0xFF}, 4294967295.0f},
        {"float32", {0x00, 0x00, 0xC0, 0x3F}, 1.5f},
        {"float64", {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}, 1.0f},
        {"ascii", {'2', '.', '5', '\n'}, 2.5f},
    };
    for (const Row& r : rows) {
        std::string text = BASE;
        const std::string from = "\"dataType\": \"float32\"";
        text.replace(text.find(from), from.size(), std::string("\"dataType\": \"") + r.name + "\"");
        Worksheet sheet;
        std::string error;
        ASSERT_TRUE(ParseWorksheetText(text, "sheet.json", sheet, error)) << error;
        static GpibModuleParams params;
        static ModuleRecord record;
        memset(&params, 0, sizeof params);
        record.params = &params;
        ApplyAssignments(sheet.modules[1], &record);
        DecodeSettings s = {};
        s.dataType = params.dataType[0];
        s.valueCount = 1;
        s.mask = ParseMaskText("", 1);
        DecodeCursor cursor;
        StartDecoding(&s, &cursor);
        float out[2] = {-999.0f, -999.0f};
        ASSERT_EQ(DecodeValues(r.answer.data(), r.answer.size(), &s, &cursor, out, 2), 1u) << r.name;
        EXPECT_EQ(out[0], r.value) << r.name;
    }
}
