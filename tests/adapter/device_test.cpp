// The adapter-backed tavk.dll against adapters as their manuals describe them: instruments that
// end answers with LF and EOI, the inter-character read time-out, settings kept in the adapter's
// EPROM, a power cycle, an idle drop, an AR488's start-up time, blank lines ignored.
#include "tests/adapter/adapterbench.h"

namespace {

// The default instruments, behind an adapter described by the "adapter" section given.
std::string BenchWith(const std::string& adapter)
{
    return R"({"instruments": [
      {"address": 22, "type": "multimeter", "idn": "TAVIK-SIM,DMM-22,0,1.0",
       "signal": {"shape": "constant", "offset": 1.234}},
      {"address": 9, "type": "srq"},
      {"address": 12, "type": "silent"}
    ], "adapter": )" + adapter + "}";
}

// A fresh adapter of that description (its EPROM as given), then the driver's create.
void OpenAdapter(AdapterBench& b, const std::string& adapter = R"({"kind": "prologix"})")
{
    ASSERT_TRUE(b.Load());
    ASSERT_EQ(b.sim.SimLoadBench(BenchWith(adapter).c_str()), 1) << b.sim.SimLastMessage();
    b.adapter.AdapterSimPowerCycle();
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
}

class AdapterDevice : public ::testing::Test {
protected:
    AdapterBench b;
    void Open(const std::string& adapter = R"({"kind": "prologix"})") { OpenAdapter(b, adapter); }
    std::string Receive(int address, int32_t& result, uint32_t max = 256) { return ReceiveFrom(b, address, result, max); }
    static std::string ReceiveFrom(AdapterBench& b, int address, int32_t& result, uint32_t max = 256)
    {
        std::vector<char> buffer(max);
        uint32_t length = max;
        result = b.TavkRecvDataC(b.board, static_cast<uint32_t>(address), buffer.data(), &length);
        return std::string(buffer.data(), length);
    }
};

// An answer that ends with EOI is the whole message, whatever terminator the read was asked
// with: a standard SCPI answer (LF with EOI) read with CR LF or CR, an answer without LF read
// with LF. Both kinds of adapter; the AR488 ends every read at EOI, the Prologix at its time-out.
TEST_F(AdapterDevice, EoiEndsTheAnswerWhateverTheTerminator)
{
    for (const char* kind : {"prologix", "ar488"}) {
        AdapterBench one;
        OpenAdapter(one, std::string(R"({"kind": ")") + kind + "\"}");
        if (HasFatalFailure()) return;
        ASSERT_EQ(one.TavkSetTime(one.board, 500), 1);
        struct Row { uint32_t mode; const char* answer; };
        const Row rows[] = {{0, "+1.234E+00\n"}, {1, "+1.234E+00\n"}, {2, "AB"}};
        for (const Row& row : rows) {
            ASSERT_EQ(one.TavkSetEos(one.board, row.mode, 0), 1);
            ASSERT_EQ(one.sim.SimQueueAnswer(22, row.answer, static_cast<int32_t>(strlen(row.answer)), 1), 1);
            int32_t r = 0;
            EXPECT_EQ(ReceiveFrom(one, 22, r), row.answer) << kind << " terminator code " << row.mode;
            EXPECT_EQ(r, 1) << kind << " terminator code " << row.mode << " error " << one.TavkGetLastError(one.board);
        }
    }
}

// A device that pauses within its answer for less than the adapter's read time-out is still
// talking: the answer is complete only when the adapter ended the read.
TEST_F(AdapterDevice, SlowEoiAnswerIsWaitedForUntilTheAdapterEndsTheRead)
{
    Open();
    ASSERT_EQ(b.TavkSetTime(b.board, 1500), 1);
    ASSERT_EQ(b.TavkSetEos(b.board, 3, 0), 1);   // EOI alone ends a message
    std::string block;
    for (int i = 0; i < 48; i++) block += static_cast<char>(i * 5);
    ASSERT_EQ(b.sim.SimQueueAnswer(22, block.data(), static_cast<int32_t>(block.size()), 1), 1);
    b.adapter.AdapterSimSetPace(16, 350);
    int32_t r = 0;
    EXPECT_EQ(Receive(22, r), block);
    EXPECT_EQ(r, 1);
    // A pause longer than the read time-out ends the adapter's read: the rest comes with the next.
    ASSERT_EQ(b.TavkSetTime(b.board, 100), 1);
    b.adapter.AdapterSimSetPace(16, 400);
    ASSERT_EQ(b.sim.SimQueueAnswer(22, block.data(), static_cast<int32_t>(block.size()), 1), 1);
    EXPECT_EQ(Receive(22, r), block.substr(0, 16));
    EXPECT_EQ(r, 1);
    b.adapter.AdapterSimSetPace(0, 0);
    EXPECT_EQ(Receive(22, r), block.substr(16));
    EXPECT_EQ(r, 1);
}

// A buffer that fills exactly while the device is still talking: the rest of the answer, still
// on its way, is the next receive's, as on a bus (not stale bytes to drop before a new read).
TEST_F(AdapterDevice, AnswerLongerThanTheBufferGoesOnInTheNextReceive)
{
    Open();
    ASSERT_EQ(b.TavkSetTime(b.board, 1500), 1);
    ASSERT_EQ(b.TavkSetEos(b.board, 3, 0), 1);
    std::string block;
    for (int i = 0; i < 48; i++) block += static_cast<char>('A' + i % 26);
    ASSERT_EQ(b.sim.SimQueueAnswer(22, block.data(), static_cast<int32_t>(block.size()), 1), 1);
    b.adapter.AdapterSimSetPace(16, 100);
    int32_t r = 0;
    EXPECT_EQ(Receive(22, r, 16), block.substr(0, 16));
    EXPECT_EQ(r, 1);
    Sleep(500);   // the rest has arrived by now
    EXPECT_EQ(Receive(22, r), block.substr(16));
    EXPECT_EQ(r, 1);
    b.adapter.AdapterSimSetPace(0, 0);
}

// An adapter whose EPROM holds another program's settings: the driver sets every one it relies
// on and writes none of them to the EPROM.
TEST_F(AdapterDevice, SavedSettingsAreNeitherTrustedNorOverwritten)
{
    Open(R"({"kind": "prologix", "savedState": {"eot_enable": 1, "eot_char": 33, "auto": 1, "eoi": 0, "eos": 3,
             "read_tmo_ms": 20, "addr": 5}})");
    Lines sent = b.Take();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], "++ver");
    EXPECT_EQ(sent[1], "++savecfg 0");   // before any setting, so none is saved
    EXPECT_EQ(sent, createLines);
    ASSERT_EQ(b.TavkSetTime(b.board, 500), 1);
    ASSERT_EQ(b.TavkSetEos(b.board, 2, 0), 1);
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    EXPECT_EQ(b.Input(22), "*IDN?\n");
    int32_t r = 0;
    EXPECT_EQ(Receive(22, r), "TAVIK-SIM,DMM-22,0,1.0\n");   // no eot_char after the EOI byte
    EXPECT_EQ(r, 1);
    ASSERT_EQ(b.TavkSetEos(b.board, 3, 0), 1);
    ASSERT_EQ(b.sim.SimQueueAnswer(22, "AB", 2, 1), 1);
    EXPECT_EQ(Receive(22, r), "AB");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b.adapter.AdapterSimEpromWrites(), 0u);
    struct Saved { const char* name; int32_t value; };
    for (const Saved& s : {Saved{"eot_enable", 1}, Saved{"eot_char", 33}, Saved{"auto", 1}, Saved{"eoi", 0},
                           Saved{"eos", 3}, Saved{"read_tmo_ms", 20}, Saved{"addr", 5}, Saved{"mode", 1}})
        EXPECT_EQ(b.adapter.AdapterSimSetting(s.name, 1), s.value) << s.name;
    EXPECT_EQ(b.adapter.AdapterSimSetting("eot_enable", 0), 0);
    EXPECT_EQ(b.adapter.AdapterSimSetting("savecfg", 0), 0);
}

// A power-cycled adapter comes back with its saved settings and without the address the driver
// gave it: the driver connects again and sends everything, the address too.
TEST_F(AdapterDevice, PowerCycledAdapterIsGivenEverythingAgain)
{
    Open();
    ASSERT_EQ(b.TavkSetTime(b.board, 300), 1);
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    int32_t r = 0;
    EXPECT_EQ(Receive(22, r), "TAVIK-SIM,DMM-22,0,1.0\n");
    b.adapter.AdapterSimPowerCycle();
    Sleep(100);   // the close reaches the driver's side
    EXPECT_EQ(b.adapter.AdapterSimSetting("addr", 0), 0);
    b.Input(22);
    b.Take();
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    EXPECT_EQ(b.Input(22), "*IDN?\r\n");
    Lines again = b.Take();
    ASSERT_GE(again.size(), 2u);
    EXPECT_EQ(again[again.size() - 2], "++addr 22");
    EXPECT_EQ(b.adapter.AdapterSimConnections(), 2u);
    EXPECT_EQ(Receive(22, r), "TAVIK-SIM,DMM-22,0,1.0\n");
    EXPECT_EQ(r, 1);
}

// The adapter closed the idle link: the close is seen before the next send, which connects
// again first; nothing reported sent is lost.
TEST_F(AdapterDevice, SendAfterAnIdleDropConnectsAgainFirst)
{
    Open();
    ASSERT_EQ(b.TavkSetEos(b.board, 0, 0), 1);
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*RST", 4), 1);
    EXPECT_EQ(b.Input(22), "*RST\r\n");
    b.adapter.AdapterSimCloseLink();
    Sleep(100);   // the close reaches the driver's side
    // The settings as they stand and addressing alone send nothing: the closed link is left to
    // the next call that sends.
    const uint8_t unaddress[] = {0x3F, 0x5F, 0x20 + 22};
    ASSERT_EQ(b.TavkSetEos(b.board, 0, 0), 1);
    ASSERT_EQ(b.TavkSendCmd(b.board, unaddress, sizeof unaddress), 1);
    EXPECT_EQ(b.adapter.AdapterSimConnections(), 1u);
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    EXPECT_EQ(b.Input(22), "*IDN?\r\n");
    EXPECT_EQ(b.adapter.AdapterSimConnections(), 2u);
    int32_t r = 0;
    EXPECT_EQ(Receive(22, r), "TAVIK-SIM,DMM-22,0,1.0\n");
    EXPECT_EQ(r, 1);
}

// An AR488 on an Uno or Nano resets when its port is opened and hears nothing for a while:
// ++ver is asked until it answers, and only then comes the set-up.
TEST_F(AdapterDevice, StartingAr488IsAskedUntilItAnswers)
{
    ASSERT_TRUE(b.Load());
    ASSERT_EQ(b.sim.SimLoadBench(BenchWith(R"({"kind": "ar488", "bootMs": 1200})").c_str()), 1) << b.sim.SimLastMessage();
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    EXPECT_EQ(b.Take(), createLines);   // what it heard once it had started
    ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "*IDN?", 5), 1);
    int32_t r = 0;
    EXPECT_EQ(Receive(22, r), "TAVIK-SIM,DMM-22,0,1.0\n");
    EXPECT_EQ(r, 1);
}

// An empty message is its end-of-string alone; adapters ignore an empty line.
TEST_F(AdapterDevice, EmptyMessageSendsItsEndOfString)
{
    Open();
    b.Take();
    const std::string esc(1, char(27));
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "", 0), 1);
    EXPECT_EQ(b.Input(22), "\r\n");
    EXPECT_EQ(b.Take(), (Lines{"++addr 22", "++eos 3", esc + "\r" + esc + "\n", "++eos 0"}));
    ASSERT_EQ(b.TavkSetEos(b.board, 2, 0), 1);
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "", 0), 1);
    EXPECT_EQ(b.Input(22), "\n");
    ASSERT_EQ(b.TavkSendDataC(b.board, 22, "X", 1), 1);
    EXPECT_EQ(b.Input(22), "X\n");   // the adapter's ++eos is back
}

// The adapter section of a bench file is checked like the rest: file, line and field.
TEST(AdapterDeviceBench, BadAdapterSectionIsRefusedWithLineAndField)
{
    AdapterBench b;
    ASSERT_TRUE(b.Load());
    struct Row { const char* adapter; const char* message; };
    const Row rows[] = {
        {"{\n\"kind\": \"gpib-box\"}", "line 7: adapter.kind: has the unknown value 'gpib-box'"},
        {"{\"kind\": \"ar488\",\n\"savedState\": {\"eot_enable\": 2}}", "line 7: adapter.savedState.eot_enable: is 2, outside 0..1"},
        {"{\"kind\": \"ar488\",\n\"savedState\": {\"baud\": 9600}}", "line 7: adapter.savedState.baud: is not a setting the adapter saves"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(b.sim.SimLoadBench(BenchWith(row.adapter).c_str()), 0);
        std::string said = b.sim.SimLastMessage();
        EXPECT_NE(said.find(row.message), std::string::npos) << said;
    }
}

}  // namespace
