// The LAN driver through its entry points against the LAN instrument simulator: the exact RPCs
// of each entry point, pieces and END, request-count repeats, termchar reads, the block over a
// raw socket, every VXI-11 error's mapping, dropped and refused links, an instrument that does
// not answer within the connect time-out, bad settings.
#include <algorithm>
#include "boards/lan/lansettings.h"
#include "tests/lan/lanbench.h"

static std::string Text(const std::string& s) { return BusEscape(s.data(), static_cast<uint32_t>(s.size())); }

TEST_F(LanDriver, FirstUseLinksThroughThePortmapperAndKeepsTheLink)
{
    int32_t r = 0;
    ASSERT_EQ(b.Send(22, "*IDN?"), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"getport " + std::to_string(b.lan.corePort), "create_link inst0",
                              "device_write link 1 flags 0x8 \"*IDN?\\r\\n\""}));
    EXPECT_EQ(b.Receive(22, r), "TAVIK-SIM,multimeter,22,1.0\n");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_read link 1 flags 0x80 size 256 term 10"}));
    ASSERT_EQ(b.Send(22, "READ?"), 1);
    EXPECT_EQ(b.Receive(22, r), "+1.000000E+00\n");
    EXPECT_EQ(b.Take(), (Rpcs{"device_write link 1 flags 0x8 \"READ?\\r\\n\"", "device_read link 1 flags 0x80 size 256 term 10"}));
    EXPECT_EQ(b.lan.LanSimLinks(), 1u);
    ASSERT_EQ(b.TavkClose(b.board), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"destroy_link link 1"}));
    EXPECT_EQ(b.lan.LanSimLinks(), 0u);
}

TEST_F(LanDriver, LongWritesGoInPiecesOfMaxRecvSizeWithEndOnTheLast)
{
    b.lan.LanSimSetMaxRecvSize(16);
    std::string message = "CONF:VOLT:DC 10,0.001;:TRIG:SOUR IMM;:INIT";   // 42 bytes with CR LF
    ASSERT_EQ(b.Send(22, message), 1);
    Rpcs rpcs = b.Take();
    ASSERT_EQ(rpcs.size(), 5u);
    EXPECT_EQ(rpcs[2], "device_write link 1 " + Text(message.substr(0, 16)));
    EXPECT_EQ(rpcs[3], "device_write link 1 " + Text(message.substr(16, 16)));
    EXPECT_EQ(rpcs[4], "device_write link 1 flags 0x8 " + Text(message.substr(32) + "\r\n"));
    EXPECT_EQ(b.Input(22), message + "\r\n");   // one message, whole, at END
    ASSERT_EQ(b.Send(22, ""), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_write link 1 flags 0x8 \"\\r\\n\""}));
    ASSERT_EQ(b.TavkSetEos(b.board, 3, 0), 1);
    ASSERT_EQ(b.Send(22, ""), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_write link 1 flags 0x8 \"\""}));
}

TEST_F(LanDriver, ReadsRepeatWhileTheReasonIsOnlyTheRequestCount)
{
    b.lan.LanSimSetReadPiece(5);
    ASSERT_EQ(b.Send(22, "READ?"), 1);
    b.Take();
    int32_t r = 0;
    EXPECT_EQ(b.Receive(22, r), "+1.000000E+00\n");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_read link 1 flags 0x80 size 256 term 10", "device_read link 1 flags 0x80 size 251 term 10",
                              "device_read link 1 flags 0x80 size 246 term 10"}));
    // An answer longer than the buffer stays in the instrument for the next receive.
    b.lan.LanSimSetReadPiece(0);
    ASSERT_EQ(b.Send(22, "READ?"), 1);
    b.Take();
    EXPECT_EQ(b.Receive(22, r, 6), "+1.062");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b.Receive(22, r), "667E+00\n");
    EXPECT_EQ(b.Take(), (Rpcs{"device_read link 1 flags 0x80 size 6 term 10", "device_read link 1 flags 0x80 size 256 term 10"}));
}

TEST_F(LanDriver, TheEndOfStringChoosesTheTerminationCharacter)
{
    int32_t r = 0;
    ASSERT_EQ(b.TavkSetEos(b.board, 1, 0), 1);
    ASSERT_EQ(b.Send(22, "*IDN?"), 1);
    b.Receive(22, r);
    ASSERT_EQ(b.TavkSetEos(b.board, 3, 0), 1);
    ASSERT_EQ(b.Send(22, "*IDN?"), 1);
    EXPECT_EQ(b.Receive(22, r), "TAVIK-SIM,multimeter,22,1.0\n");
    Rpcs rpcs = b.Take();
    ASSERT_EQ(rpcs.size(), 6u);
    EXPECT_EQ(rpcs[2], "device_write link 1 flags 0x8 \"*IDN?\\r\"");
    EXPECT_EQ(rpcs[3], "device_read link 1 flags 0x80 size 256 term 13");
    EXPECT_EQ(rpcs[4], "device_write link 1 flags 0x8 \"*IDN?\"");
    EXPECT_EQ(rpcs[5], "device_read link 1 size 256");
}

TEST_F(LanDriver, RawSocketTakesABinaryBlockWholeAndAnswersLines)
{
    int32_t r = 0;
    ASSERT_EQ(b.Send(5, "READ?"), 1);
    std::string block = b.Receive(5, r);
    EXPECT_EQ(r, 1);
    ASSERT_EQ(block.size(), 4u + 16 + 1);   // #216, eight 16-bit values (the first is 10: an LF byte), LF
    EXPECT_EQ(block.substr(0, 6), std::string("#216\n\0", 6));
    EXPECT_EQ(block.back(), '\n');
    EXPECT_EQ(b.Take(), (Rpcs{"socket_write \"READ?\\r\\n\"", "socket_read " + Text(block)}));
    // Split by a small buffer, the block's rest comes with the next receive.
    ASSERT_EQ(b.Send(5, "READ?"), 1);
    EXPECT_EQ(b.Receive(5, r, 8).size(), 8u);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b.Receive(5, r).size(), 13u);
    EXPECT_EQ(r, 1);
    // Nothing asked, nothing comes: the time-out.
    b.Receive(5, r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_TIMEOUT);
}

TEST_F(LanDriver, RawSocketHasNoPollClearTriggerOrLocal)
{
    int16_t stb = 0;
    EXPECT_EQ(b.TavkSpoll(b.board, 5, &stb), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ROLE);
    EXPECT_EQ(b.TavkSdc(b.board, 5), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ROLE);
    EXPECT_EQ(b.Commands({BUS_UNL, BUS_LAD + 5, BUS_GET}), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ROLE);
}

TEST_F(LanDriver, BusCommandsBecomeTheProceduresOfTheAddressedInstruments)
{
    ASSERT_EQ(b.Send(22, "*CLS"), 1);
    ASSERT_EQ(b.Send(9, "*CLS"), 1);
    b.Take();
    ASSERT_EQ(b.Commands({BUS_UNL, BUS_UNT, BUS_TAD + 30, BUS_LAD + 22, BUS_SDC}), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_clear link 1"}));
    ASSERT_EQ(b.Commands({BUS_UNL, BUS_LAD + 22, BUS_LAD + 9, BUS_GET}), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_trigger link 1", "device_trigger link 2"}));
    ASSERT_EQ(b.Commands({BUS_UNL, BUS_LAD + 9, BUS_GTL}), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_local link 2"}));
    ASSERT_EQ(b.Commands({BUS_LLO}), 1);
    Rpcs remote = b.Take();
    std::sort(remote.begin(), remote.end());
    EXPECT_EQ(remote, (Rpcs{"device_remote link 1", "device_remote link 2"}));
    SimDeviceInfo info;
    ASSERT_TRUE(b.sim.SimGetDevice(22, &info));
    EXPECT_EQ(info.lockout, 1);
    // DCL clears every instrument the file names that VXI-11 reaches, linking those not yet
    // linked; an address with nothing there (gpib0,7) is left out, as on a bus.
    ASSERT_EQ(b.TavkDcl(b.board), 1);
    Rpcs dcl = b.Take();
    EXPECT_EQ(std::count(dcl.begin(), dcl.end(), "device_clear link 1"), 1);
    EXPECT_EQ(std::count(dcl.begin(), dcl.end(), "create_link inst3"), 1);
    EXPECT_EQ(std::count(dcl.begin(), dcl.end(), "create_link gpib0,7 error 3"), 1);
    // Bytes without a meaning on the network fail before anything is sent.
    for (uint8_t bad : {uint8_t(BUS_PPC), uint8_t(BUS_PPU), uint8_t(BUS_TCT), uint8_t(BUS_SPE), uint8_t(BUS_SPD)}) {
        EXPECT_EQ(b.Commands({BUS_UNL, BUS_LAD + 22, bad}), 0);
        EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ROLE);
    }
    EXPECT_EQ(b.Commands({BUS_UNL, BUS_PPE + 1}), 0);   // after a listen address it would be a secondary address
    EXPECT_EQ(b.Commands({BUS_UNL, BUS_LAD + 22, BUS_PPE + 1, BUS_SDC}), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_clear link 1"}));
    // Remote enable: device_remote on, device_local off, on every linked instrument.
    ASSERT_EQ(b.TavkRen(b.board, 0), 1);
    Rpcs off = b.Take();
    EXPECT_EQ(std::count(off.begin(), off.end(), "device_local link 1"), 1);
    // Interface clear: the instruments have none; the gateway that gpib0,7 names clears its own.
    EXPECT_EQ(b.TavkIfc(b.board), 1);
    Rpcs ifc = b.Take();
    ASSERT_EQ(ifc.size(), 3u);
    EXPECT_EQ(ifc[1], "create_link gpib0");
    EXPECT_EQ(ifc[2].substr(0, 12), "device_docmd");
    EXPECT_EQ(ifc[2].substr(ifc[2].size() - 12), " cmd 0x20010");
}

// Where every device the bytes concern sits behind one gateway, they go to the gateway's
// interface link as device_docmd "send command", each addressed command after its listeners'
// addresses on the gateway's bus (gpib0,N: N, whatever address the file gives it); interface clear
// is the gateway's. Addressing alone stays with the driver.
TEST(LanGateway, BusCommandsGoThroughTheGatewaysInterface)
{
    LanBench b;
    ASSERT_TRUE(b.Load("", false));
    WriteLanSettings(b.lan, {{22, "gpib0,22"}, {4, "gpib0,9"}}, {});
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
    ASSERT_EQ(b.TavkSetTime(b.board, 500), 1);
    b.Take();
    SimDeviceInfo before, after;
    ASSERT_TRUE(b.sim.SimGetDevice(9, &before));
    ASSERT_EQ(b.Commands({BUS_UNL, BUS_UNT, BUS_TAD + 30, BUS_LAD + 4, BUS_GET}), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"getport " + std::to_string(b.lan.corePort), "create_link gpib0",
                              "device_docmd link 1 cmd 0x20000 UNL LAD 9 GET"}));
    ASSERT_TRUE(b.sim.SimGetDevice(9, &after));
    EXPECT_EQ(after.triggers, before.triggers + 1);
    ASSERT_EQ(b.Commands({BUS_UNL, BUS_LAD + 22}), 1);
    EXPECT_EQ(b.Take(), Rpcs{});
    ASSERT_TRUE(b.sim.SimGetDevice(22, &before));
    ASSERT_EQ(b.Commands({BUS_SDC}), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_docmd link 1 cmd 0x20000 UNL LAD 22 SDC"}));
    ASSERT_TRUE(b.sim.SimGetDevice(22, &after));
    EXPECT_EQ(after.clears, before.clears + 1);
    EXPECT_EQ(after.listener, 1);
    ASSERT_EQ(b.Commands({BUS_DCL, BUS_LLO}), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_docmd link 1 cmd 0x20000 DCL LLO"}));
    ASSERT_EQ(b.TavkIfc(b.board), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"device_docmd link 1 cmd 0x20010"}));
    ASSERT_TRUE(b.sim.SimGetDevice(22, &after));
    EXPECT_EQ(after.listener, 0);   // the gateway's interface clear unaddressed its bus
    // An address the file does not name is no device behind the gateway: the bytes are the
    // driver's own again, and nobody answers.
    EXPECT_EQ(b.Commands({BUS_UNL, BUS_LAD + 22, BUS_LAD + 3, BUS_SDC}), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_NO_LISTENER);
}


TEST_F(LanDriver, SerialPollReadsTheStatusByte)
{
    ASSERT_EQ(b.Send(9, "*TRG"), 1);
    b.sim.SimAdvanceTime(200);
    int16_t stb = 0;
    ASSERT_EQ(b.TavkSpoll(b.board, 9, &stb), 1);
    EXPECT_EQ(stb, 0x50);
    Rpcs rpcs = b.Take();
    EXPECT_EQ(rpcs.back(), "device_readstb link 1");
}

// The SRQ line comes over the interrupt channel: the first look links and arms every instrument
// VXI-11 reaches (create_intr_chan to the driver's own server, device_enable_srq with a handle);
// an instrument's request arrives as device_intr_srq and holds the line until its serial poll.
TEST_F(LanDriver, TheSrqLineFollowsTheInterruptChannelUntilTheSerialPoll)
{
    int16_t line = -1;
    ASSERT_EQ(b.TavkGetSrqLine(b.board, &line), 1);
    EXPECT_EQ(line, 0);
    Rpcs armed = b.Take();
    // The gateway's line comes from its interface, the instruments' requests over the channel.
    EXPECT_EQ(std::count(armed.begin(), armed.end(), "create_link gpib0"), 1);
    EXPECT_EQ(std::count(armed.begin(), armed.end(), "device_docmd link 1 cmd 0x20001 0x00 0x02"), 1);
    EXPECT_EQ(std::count(armed.begin(), armed.end(), "create_link gpib0,7 error 3"), 0);
    EXPECT_EQ(std::count(armed.begin(), armed.end(), "create_intr_chan link 0"), 3);
    for (int link = 2; link <= 4; link++)
        EXPECT_EQ(std::count(armed.begin(), armed.end(), "device_enable_srq link " + std::to_string(link)), 1) << link;
    ASSERT_EQ(b.Send(9, "*TRG"), 1);
    b.sim.SimAdvanceTime(200);
    EXPECT_EQ(b.SrqLineBecomes(1), 1);
    EXPECT_EQ(b.lan.LanSimSrqSent(), 1u);
    int16_t stb = 0;
    ASSERT_EQ(b.TavkSpoll(b.board, 9, &stb), 1);
    EXPECT_EQ(stb, 0x50);
    ASSERT_EQ(b.TavkGetSrqLine(b.board, &line), 1);
    EXPECT_EQ(line, 0);
    // The next request is a new call; a look at the line arms nothing twice.
    b.Take();
    ASSERT_EQ(b.Send(9, "*TRG"), 1);
    b.sim.SimAdvanceTime(200);
    EXPECT_EQ(b.SrqLineBecomes(1), 1);
    EXPECT_EQ(b.lan.LanSimSrqSent(), 2u);
    Rpcs again = b.Take();
    EXPECT_EQ(std::count(again.begin(), again.end(), "create_intr_chan link 0"), 0);
    EXPECT_EQ(std::count(again.begin(), again.end(), "device_enable_srq link 3"), 0);
    ASSERT_EQ(b.TavkClose(b.board), 1);
    Rpcs closed = b.Take();
    EXPECT_EQ(std::count(closed.begin(), closed.end(), "destroy_intr_chan link 0"), 3);
}

// A link that dropped is armed again with the new link at the next look at the line.
TEST_F(LanDriver, ARelinkedInstrumentIsArmedAgain)
{
    int16_t line = -1;
    ASSERT_EQ(b.TavkGetSrqLine(b.board, &line), 1);
    b.lan.LanSimCloseConnections();
    EXPECT_EQ(b.Send(9, "*TRG"), 0);   // finds the link gone
    ASSERT_EQ(b.Send(9, "*TRG"), 1);
    b.sim.SimAdvanceTime(200);
    b.Take();
    EXPECT_EQ(b.TavkGetSrqLine(b.board, &line), 0);   // finds the gateway's interface link gone
    EXPECT_EQ(b.SrqLineBecomes(1), 1);
    Rpcs rearmed = b.Take();
    EXPECT_GE(std::count(rearmed.begin(), rearmed.end(), "create_intr_chan link 0"), 1);
}

// An instrument that restarted has forgotten its interrupt channel: a driver that only watches
// the SRQ line (no call to the instrument finds the link gone) looks at the links now and then,
// links again and arms the new link, so that the instrument's next request is seen.
TEST_F(LanDriver, AnInstrumentThatRestartedIsArmedAgainByTheSrqLineAlone)
{
    const int16_t RQS = 0x40;
    int16_t line = -1;
    ASSERT_EQ(b.TavkGetSrqLine(b.board, &line), 1);
    b.lan.LanSimCloseConnections();
    Sleep(LAN_LINK_CHECK_MS + 100);
    testing::internal::CaptureStderr();
    EXPECT_EQ(b.TavkGetSrqLine(b.board, &line), 0);   // finds the gateway's interface link gone
    b.Take();
    ASSERT_EQ(b.TavkGetSrqLine(b.board, &line), 1);
    EXPECT_EQ(line, 0);
    std::string said = testing::internal::GetCapturedStderr();
    size_t at = said.find("the link to address 9 (");
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_EQ(said.compare(said.find(')', at), 57, ") was closed by the instrument; the next call links again"), 0) << said;
    Rpcs rearmed = b.Take();
    EXPECT_EQ(std::count(rearmed.begin(), rearmed.end(), "create_intr_chan link 0"), 3);
    ASSERT_EQ(b.sim.SimSetStatusByte(9, RQS | 0x01), 1);
    EXPECT_EQ(b.SrqLineBecomes(1), 1);
    int16_t stb = 0;
    ASSERT_EQ(b.TavkSpoll(b.board, 9, &stb), 1);
    EXPECT_EQ(stb, RQS | 0x01);
}

// Each VXI-11 error as the driver's: 15 the time-out, 3 and 21 no listener, 4, 6 and 17 the
// dropped link (the next call links again), 11 its own error.
TEST_F(LanDriver, EveryVxi11ErrorHasItsDriverError)
{
    ASSERT_EQ(b.Send(22, "READ?"), 1);
    struct Case { int32_t vxi11, driver; bool relinks; };
    const Case cases[] = {{15, TAVK_ERR_TIMEOUT, false}, {3, TAVK_ERR_NO_LISTENER, false}, {21, TAVK_ERR_NO_LISTENER, false},
                          {4, TAVK_ERR_LINK, true}, {6, TAVK_ERR_LINK, true}, {17, TAVK_ERR_LINK, true},
                          {11, LAN_ERR_LOCKED, false}, {8, TAVK_ERR_ROLE, false}, {99, TAVK_ERR_REPLY, false}};
    for (const Case& c : cases) {
        ASSERT_EQ(b.sim.SimScriptCall("device_write", 1, 0, c.vxi11, 0), 1);
        EXPECT_EQ(b.Send(22, "READ?"), 0) << c.vxi11;
        EXPECT_EQ(b.TavkGetLastError(b.board), c.driver) << c.vxi11;
        b.Take();
        ASSERT_EQ(b.Send(22, "READ?"), 1) << c.vxi11;
        Rpcs next = b.Take();
        EXPECT_EQ(next.size(), c.relinks ? 3u : 1u) << c.vxi11;
        if (c.relinks) { EXPECT_EQ(next[1], "create_link inst0") << c.vxi11; }
    }
    ASSERT_EQ(b.sim.SimScriptCall("device_read", 1, 0, 15, 0), 1);
    int32_t r = 1;
    b.Receive(22, r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_TIMEOUT);
    // The silent device's read times out in the instrument: error 15 from the server itself.
    ASSERT_EQ(b.Send(12, "READ?"), 1);
    b.Receive(12, r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_TIMEOUT);
    // An address the file does not name has no listener; a gateway address with nothing at it neither.
    EXPECT_EQ(b.Send(3, "X"), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_NO_LISTENER);
    EXPECT_EQ(b.Send(7, "X"), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_NO_LISTENER);
}

TEST_F(LanDriver, DroppedLinkIsReportedOnceAndTheNextCallLinksAgain)
{
    std::string trace = TestDir() + "lan_drop.trace";
    ASSERT_EQ(b.Send(22, "*CLS"), 1);
    b.lan.LanSimDropAt(1);
    EXPECT_EQ(b.Send(22, "READ?"), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_LINK);
    b.Take();
    ASSERT_EQ(b.Send(22, "READ?"), 1);
    EXPECT_EQ(b.Take(), (Rpcs{"getport " + std::to_string(b.lan.corePort), "create_link inst0",
                              "device_write link 2 flags 0x8 \"READ?\\r\\n\""}));
    // The instrument restarts: every connection closes; the next call finds out and links again.
    b.lan.LanSimCloseConnections();
    EXPECT_EQ(b.Send(22, "READ?"), 0);
    ASSERT_EQ(b.Send(22, "READ?"), 1);
    EXPECT_GE(b.lan.LanSimConnections(), 5u);
}

TEST_F(LanDriver, RefusedLinkFailsAndIsTriedAgain)
{
    ASSERT_EQ(b.sim.SimScriptCall("create_link", 1, 0, 9, 0), 1);
    EXPECT_EQ(b.Send(22, "*CLS"), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_LINK);
    b.Take();
    EXPECT_EQ(b.Send(22, "*CLS"), 1);
    EXPECT_EQ(b.Take()[1], "create_link inst0");
}

// An instrument that does not answer fails the first use within the connect time-out.
TEST(LanLinks, SilentPortmapperFailsWithinTheConnectTimeout)
{
    LanBench b;
    ASSERT_TRUE(b.Load(", \"connectTimeoutMs\": 300", false));
    WriteLanSettings(b.lan, {{22, "inst0"}, {5, "inst1"}}, {5});
    std::string path = TestDir() + "tavk_lan_test.json";
    FILE* f = fopen(path.c_str(), "wb");
    fprintf(f, "{\"instruments\": {\"22\": \"TCPIP::127.0.0.1::inst0\", \"4\": \"TCPIP::127.0.0.1::1::SOCKET\"},"
               " \"portmapperPort\": %d, \"connectTimeoutMs\": 300}", b.lan.portmapperPort);
    fclose(f);
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
    b.lan.LanSimSetDelay(5000);
    DWORD start = GetTickCount();
    EXPECT_EQ(b.Send(22, "*IDN?"), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_LINK);
    EXPECT_LT(GetTickCount() - start, 2000u);
    b.lan.LanSimSetDelay(0);
    start = GetTickCount();
    EXPECT_EQ(b.Send(4, "*IDN?"), 0);   // nobody listens there
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_LINK);
    EXPECT_LT(GetTickCount() - start, 2000u);
}

static std::string ReadText(const std::string& path)
{
    std::string text;
    FILE* in = fopen(path.c_str(), "rb");
    char chunk[512];
    size_t n;
    while (in && (n = fread(chunk, 1, sizeof chunk, in)) > 0) text.append(chunk, n);
    if (in) fclose(in);
    return text;
}

static std::string CreateFailure(const std::string& settings)
{
    LanBench b;
    EXPECT_TRUE(b.Load("", false));
    std::string path = TestDir() + "tavk_lan_bad.json";
    FILE* f = fopen(path.c_str(), "wb");
    fputs(settings.c_str(), f);
    fclose(f);
    SetEnvironmentVariableA("TAVK_LAN_SETTINGS", path.c_str());
    std::string trace = TestDir() + "lan_bad.trace";
    SetEnvironmentVariableA("TAVK_TRACE", trace.c_str());
    EXPECT_EQ(b.TavkCreate(&b.board), 0);
    FreeLibrary(b.tavk);
    b.tavk = nullptr;
    return ReadText(trace);
}

TEST(LanLinks, BadSettingsAreRefusedWithFileLineAndField)
{
    std::string t = CreateFailure("{\"instruments\": {\n\"22\": \"TCPIP::h::9::SOCKT\"}}");
    EXPECT_NE(t.find("tavk_lan_bad.json: line 2: instruments[22]: 'TCPIP::h::9::SOCKT' has too many parts"), std::string::npos) << t;
    t = CreateFailure("{\"instruments\": {\"40\": \"TCPIP::h\"}}");
    EXPECT_NE(t.find("line 1: instruments[40]: is not a primary address 0..30"), std::string::npos) << t;
}

// An instrument that refuses the interrupt channel leaves the SRQ line unknown: error 8, and the
// trace names the instrument and its answer.
// Behind a gateway the SRQ line is its bus's, read from its interface (device_docmd bus status):
// while a second device still requests service, polling the first leaves the line asserted.
TEST(LanGateway, TheLineStaysWhileAnotherDeviceBehindTheGatewayRequests)
{
    const int16_t RQS = 0x40;   // the status byte's request bit
    LanBench b;
    ASSERT_TRUE(b.Load("", false));
    WriteLanSettings(b.lan, {{22, "gpib0,22"}, {9, "gpib0,9"}}, {});
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
    ASSERT_EQ(b.sim.SimSetStatusByte(9, RQS | 0x01), 1);
    ASSERT_EQ(b.sim.SimSetStatusByte(22, RQS | 0x02), 1);
    EXPECT_EQ(b.SrqLineBecomes(1), 1);
    int16_t stb = 0, line = -1;
    ASSERT_EQ(b.TavkSpoll(b.board, 9, &stb), 1);
    EXPECT_EQ(stb, RQS | 0x01);
    ASSERT_EQ(b.TavkGetSrqLine(b.board, &line), 1);
    EXPECT_EQ(line, 1);   // 22 still requests
    ASSERT_EQ(b.TavkSpoll(b.board, 22, &stb), 1);
    EXPECT_EQ(stb, RQS | 0x02);
    EXPECT_EQ(b.SrqLineBecomes(0), 0);
}

TEST(LanLinks, ARefusedInterruptChannelMakesTheSrqLineError8)
{
    LanBench b;
    std::string trace = TestDir() + "lan_intr.trace";
    SetEnvironmentVariableA("TAVK_TRACE", trace.c_str());
    ASSERT_TRUE(b.Load());
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
    ASSERT_EQ(b.sim.SimScriptCall("create_intr_chan", 1, 0, VXI11_ERR_NOT_SUPPORTED, 1), 1);
    int16_t line = -1;
    EXPECT_EQ(b.TavkGetSrqLine(b.board, &line), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ROLE);
    EXPECT_EQ(line, -1);
    ASSERT_EQ(b.TavkClose(b.board), 1);
    std::string text = ReadText(trace);
    EXPECT_NE(text.find("refused create_intr_chan with error 8 (operation not supported), so its service requests cannot be seen"),
              std::string::npos) << text;
}

TEST(LanLinks, TheBoardsOwnAddressIsNoInstrument)
{
    LanBench b;
    ASSERT_TRUE(b.Load());
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    EXPECT_EQ(b.TavkInit(b.board, 22, 1, 0), 0);
    EXPECT_EQ(b.TavkGetLastError(b.board), TAVK_ERR_ARGUMENT);
    EXPECT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
}
