// READ through the real plug-in: each data type from a binary instrument of the simulated bench,
// raw answers with headers, skipped bytes and masks, values that need several blocks, blocks the
// host does not offer, and the READ failures.
#include "tests/plugin_run/runfixture.h"

namespace {

const int BINARY = 5;   // address of the binary instrument
const int DMM = 22;     // the multimeter, also used for queued raw answers

std::string BinaryBench(int width, const char* format, int count, double offset, double step)
{
    char json[400];
    snprintf(json, sizeof json,
             "{\"instruments\": [{\"address\": %d, \"type\": \"binary\", \"width\": %d, \"format\": \"%s\", "
             "\"count\": %d, \"appendEos\": false, \"signal\": {\"shape\": \"ramp\", \"offset\": %.17g, "
             "\"step\": %.17g}}, {\"address\": %d, \"type\": \"multimeter\"}]}",
             BINARY, width, format, count, offset, step, DMM);
    return json;
}

class Read : public PluginRun {
protected:
    ModuleRecord* in = nullptr;

    // A reader of the binary instrument, one value per READ unless told otherwise.
    void BinaryReader(int32_t dataType, uint32_t values, uint32_t blockSize = 64)
    {
        in = Reader(BINARY, "READ\r\n", blockSize);
        GpibModuleParams* p = standin::Params(in);
        p->dataType[0] = dataType;
        p->recvBlockLength[0] = values;
        p->terminator[0] = TERM_EOI;
    }
    // One READ by a host action; its result.
    int32_t ReadOnce() { return standin::RunAction(in, 1, ACTION_KIND_IN); }
    // Answers the binary instrument gave since its bench was loaded: it takes its four values each
    // time it is addressed to talk.
    uint32_t Answers()
    {
        SimDeviceInfo d;
        return sim.SimGetDevice(BINARY, &d) ? d.readings / 4 : 0;
    }
    std::vector<float> Samples() { return standin::ReleasedSamples(in, 0); }
};

TEST_F(Read, EveryDataTypeFromABinaryInstrument)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::AnswersEndAtEnd);
    struct Case {
        const char* what;
        int width;
        const char* format;
        double offset, step;
        int32_t dataType;
        std::vector<float> samples;
    };
    const Case cases[] = {
        {"int16", 2, "signed", -2, 1, DATA_INT16, {-2, -1, 0, 1}},
        {"uint16", 2, "unsigned", 65532, 1, DATA_UINT16, {65532, 65533, 65534, 65535}},
        {"int32", 4, "signed", -100000, 50000, DATA_INT32, {-100000, -50000, 0, 50000}},
        {"uint32", 4, "unsigned", 4000000000.0, 1000, DATA_UINT32, {4e9f, 4.000001e9f, 4.000002e9f, 4.000003e9f}},
        {"float32", 4, "float", 0.5, 0.25, DATA_FLOAT32, {0.5f, 0.75f, 1.0f, 1.25f}},
        {"float64", 8, "float", 1.0, -0.5, DATA_FLOAT64, {1.0f, 0.5f, 0.0f, -0.5f}},
        {"unknown type as float64", 8, "float", 2.0, 1.0, 1099, {2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(sim.SimLoadBench(BinaryBench(c.width, c.format, 4, c.offset, c.step).c_str()), 1)
            << sim.SimLastMessage();
        BinaryReader(c.dataType, 4);
        Start();
        EXPECT_EQ(ReadOnce(), 1);
        standin::EndExperiment();
        EXPECT_EQ(Samples(), c.samples);
        ExpectQuiet();
        standin::RemoveModule(in);
    }
}

// Raw answers queued at the instrument: the header is skipped once, the skipped bytes around
// every value never decoded, and the mask applied to the raw bits.
TEST_F(Read, AnswerLayoutAndMask)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::AnswersEndAtEnd);
    struct Case {
        const char* what;
        std::string answer;
        int32_t terminator, dataType;
        uint32_t values, header, head, tail;
        const char* mask;
        std::vector<float> samples;
    };
    const std::string one = std::string("\x00\x00\x00\x00\x00\x00\xF0\x3F", 8);
    const Case cases[] = {
        {"ascii list", "1.5,2.5,3.5\r\n", TERM_CRLF, DATA_ASCII, 3, 0, 0, 0, "", {1.5f, 2.5f, 3.5f}},
        {"ascii D exponent", "+1.25D+02\r\n", TERM_CRLF, DATA_ASCII, 1, 0, 0, 0, "", {125.0f}},
        {"int16 limits", std::string("\xFF\x7F\x00\x80", 4), TERM_EOI, DATA_INT16, 2, 0, 0, 0, "", {32767, -32768}},
        {"header", std::string("\x01\x00\xFF\x7F\x05\x00", 6), TERM_EOI, DATA_INT16, 2, 2, 0, 0, "", {32767, 5}},
        {"skipped bytes", std::string("a\x01\x00" "bcX\x02\x00" "yz", 10), TERM_EOI, DATA_INT16, 2, 0, 1, 2, "", {1, 2}},
        {"mask low byte", "\x34\x12", TERM_EOI, DATA_INT16, 1, 0, 0, 0, "00FF", {52}},
        {"uint32 all ones", "\xFF\xFF\xFF\xFF", TERM_EOI, DATA_UINT32, 1, 0, 0, 0, "", {4294967296.0f}},
        {"float64 one", one, TERM_EOI, DATA_FLOAT64, 1, 0, 0, 0, "", {1.0f}},
        {"float64 high half masked", one, TERM_EOI, DATA_FLOAT64, 1, 0, 0, 0, "0000FFFFFFFF", {0.0f}},
        {"float64 sign masked", std::string("\x00\x00\x00\x00\x00\x00\xF0\xBF", 8), TERM_EOI, DATA_FLOAT64, 1, 0, 0, 0,
         "7FFFFFFFFFFFFFFF", {1.0f}},
    };
    in = Reader(DMM);
    GpibModuleParams* p = standin::Params(in);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        p->terminator[0] = c.terminator;
        p->dataType[0] = c.dataType;
        p->recvBlockLength[0] = c.values;
        p->headerSize[0] = c.header;
        p->invalid[0].invalidHead = c.head;
        p->invalid[0].invalidTail = c.tail;
        memset(p->maskText[0], 0, GPIB_MASK_TEXT_SIZE);
        memcpy(p->maskText[0], c.mask, strlen(c.mask));
        standin::ClearReleasedBlocks();
        Start();
        ASSERT_EQ(sim.SimQueueAnswer(DMM, c.answer.data(), (int32_t)c.answer.size(), 1), 1);
        EXPECT_EQ(ReadOnce(), 1);
        standin::EndExperiment();
        EXPECT_EQ(Samples(), c.samples);
        ExpectQuiet();
    }
}

// No value to store: READ holds the script and receives again on the next request. The
// instrument answers four values each time; with one value asked, the fourth answer gives 12.
TEST_F(Read, NoValuesReceivesAgain)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::AnswersEndAtEnd);
    BinaryReader(DATA_INT16, 0);
    Start();
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(ReadOnce(), 1);
    EXPECT_EQ(Answers(), 3u);
    EXPECT_TRUE(standin::ReleasedBlocks(in, 0).empty());
    standin::Params(in)->recvBlockLength[0] = 1;
    EXPECT_EQ(ReadOnce(), 1);
    standin::EndExperiment();
    EXPECT_EQ(Samples(), (std::vector<float>{12}));
    ExpectQuiet();
}

// Ten values per answer into blocks of four: every block is full and the values come in order.
TEST_F(Read, MoreValuesThanABlockGoOutInLaterBlocks)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::AnswersEndAtEnd);
    ASSERT_EQ(sim.SimLoadBench(BinaryBench(2, "signed", 10, 0, 1).c_str()), 1);
    BinaryReader(DATA_INT16, 10, 4);
    Start();
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(ReadOnce(), 1);
    standin::EndExperiment();
    const std::vector<standin::ReleasedBlock>& blocks = standin::ReleasedBlocks(in, 0);
    ASSERT_EQ(blocks.size(), 5u);
    std::vector<float> expected;
    for (int v = 0; v < 20; v++)
        expected.push_back((float)v);
    EXPECT_EQ(Samples(), expected);
    for (const standin::ReleasedBlock& b : blocks)
        EXPECT_EQ(b.sampleCount, 4);
    ExpectQuiet();
}

// The host offers no block for some READs: their values wait and go out with a later one.
TEST_F(Read, ValuesWaitForABlock)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::AnswersEndAtEnd);
    ASSERT_EQ(sim.SimLoadBench(BinaryBench(2, "signed", 4, 0, 1).c_str()), 1);
    BinaryReader(DATA_INT16, 4, 4);
    Start();
    standin::OfferNoOutputBlockAtCall(1);
    EXPECT_EQ(ReadOnce(), 1);
    EXPECT_TRUE(standin::ReleasedBlocks(in, 0).empty());
    EXPECT_EQ(ReadOnce(), 1);   // delivers what the first one received
    EXPECT_EQ(Answers(), 1u);
    standin::OfferNoOutputBlockAtCall(1);
    EXPECT_EQ(ReadOnce(), 1);
    EXPECT_EQ(ReadOnce(), 1);
    EXPECT_EQ(ReadOnce(), 1);
    standin::EndExperiment();
    EXPECT_EQ(Answers(), 3u);
    EXPECT_EQ(Samples(), (std::vector<float>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    ExpectQuiet();
}

// READ failures that stop the experiment with their message.
TEST_F(Read, Failures)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::AnswersEndAtEnd);
    struct Case {
        const char* what;
        uint32_t values;      // per answer, from a 4 KB buffer whose ring holds 1024
        bool emptyAnswer;     // the driver reports success with no byte (a script of its call)
        const char* text;
    };
    const Case cases[] = {
        {"ring overflow", 1100, false, CMD_TEXT_RING_OVERFLOW},
        {"nothing received", 1, true, CMD_TEXT_READ_NOTHING},
    };
    for (const Case& c : cases) {
        if (!DriverCanRow(c.emptyAnswer ? Ability::TavkCallLog : Ability::Always, c.what)) continue;
        SCOPED_TRACE(c.what);
        ASSERT_EQ(sim.SimLoadBench(BinaryBench(2, "signed", (int)c.values, 0, 1).c_str()), 1);
        BinaryReader(DATA_INT16, c.values);
        standin::Params(in)->recvBufferKB[0] = 4;
        standin::ClearRecords();
        Start();
        if (c.emptyAnswer) {
            ASSERT_EQ(sim.SimScriptCall("TavkRecvDataC", 1, 1, 0, 0), 1);
        }
        EXPECT_EQ(ReadOnce(), 0);
        standin::EndExperiment();
        ExpectOneWarning(CMD_TITLE_READ, c.text);
        EXPECT_EQ(standin::StopExperimentCalls(), 1);
        EXPECT_TRUE(Samples().empty());
        standin::RemoveModule(in);
    }
}

}  // namespace
