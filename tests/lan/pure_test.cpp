// The LAN driver's pure units: resource strings, the settings file, XDR and ONC RPC with record
// marking, the VXI-11 messages, the portmapper's mapping, the raw socket's answer ends and the
// interrupt channel's calls.
#include <gtest/gtest.h>
#include <string>
#include "boards/lan/lanframe.h"
#include "boards/lan/lanintr.h"
#include "boards/lan/lanresource.h"
#include "boards/lan/lansettings.h"
#include "boards/lan/lanxdr.h"
#include "boards/lan/vxi11.h"

static LanResource Parsed(const std::string& text)
{
    LanResource r;
    std::string problem;
    EXPECT_TRUE(LanParseResource(text, r, problem)) << text << ": " << problem;
    return r;
}

static std::string Refusal(const std::string& text)
{
    LanResource r;
    std::string problem;
    EXPECT_FALSE(LanParseResource(text, r, problem)) << text;
    return problem;
}

TEST(LanResourceString, InstrumentsSocketsAndGateways)
{
    LanResource a = Parsed("TCPIP::192.168.1.20::INSTR");
    EXPECT_EQ(a.kind, LAN_VXI11);
    EXPECT_EQ(a.host, "192.168.1.20");
    EXPECT_EQ(a.device, "inst0");
    LanResource b = Parsed("tcpip2::meter.lab::inst3");
    EXPECT_EQ(b.board, 2u);
    EXPECT_EQ(b.host, "meter.lab");
    EXPECT_EQ(b.device, "inst3");
    EXPECT_EQ(Parsed("TCPIP::10.0.0.1").device, "inst0");
    LanResource s = Parsed("TCPIP0::192.168.1.30::5025::SOCKET");
    EXPECT_EQ(s.kind, LAN_SOCKET);
    EXPECT_EQ(s.port, 5025u);
    LanResource g = Parsed("TCPIP::192.168.1.40::gpib0,9::INSTR");
    EXPECT_TRUE(g.gateway);
    EXPECT_EQ(g.gpibPrimary, 9);
    EXPECT_EQ(g.gpibSecondary, -1);
    LanResource g2 = Parsed("TCPIP::gw::gpib0,9,3::INSTR");
    EXPECT_EQ(g2.gpibSecondary, 3);
}

TEST(LanResourceString, BadStringsSayWhatIsWrong)
{
    EXPECT_NE(Refusal("GPIB0::22::INSTR").find("does not start with TCPIP"), std::string::npos);
    EXPECT_NE(Refusal("TCPIP::").find("names no host"), std::string::npos);
    EXPECT_NE(Refusal("TCPIPx::h::INSTR").find("board number"), std::string::npos);
    EXPECT_NE(Refusal("TCPIP::h::0::SOCKET").find("port 1..65535"), std::string::npos);
    EXPECT_NE(Refusal("TCPIP::h::70000::SOCKET").find("port 1..65535"), std::string::npos);
    EXPECT_NE(Refusal("TCPIP::h::SOCKET").find("no device name"), std::string::npos);
    EXPECT_NE(Refusal("TCPIP::h::gpib0,31::INSTR").find("gateway"), std::string::npos);
    EXPECT_NE(Refusal("TCPIP::h::gpib0,5,x::INSTR").find("gateway"), std::string::npos);
    EXPECT_NE(Refusal("TCPIP::h::a::b::INSTR").find("too many parts"), std::string::npos);
    EXPECT_NE(Refusal("TCPIP::h h::INSTR").find("names no host"), std::string::npos);
    EXPECT_NE(Refusal("").find("does not start"), std::string::npos);
}

static std::string SettingsError(const std::string& text)
{
    LanSettings s;
    std::string error;
    EXPECT_FALSE(LanReadSettings(text, "tavk_lan.json", s, error)) << text;
    return error;
}

TEST(LanSettingsFile, ReadsTheMappingAndTheTimes)
{
    LanSettings s;
    std::string error;
    ASSERT_TRUE(LanReadSettings("{\"instruments\": {\"22\": \"TCPIP::192.168.1.20::INSTR\",\n"
                                " \"5\": \"TCPIP::192.168.1.30::5025::SOCKET\"},\n"
                                " \"connectTimeoutMs\": 500, \"portmapperPort\": 4111}",
                                "tavk_lan.json", s, error)) << error;
    ASSERT_EQ(s.instruments.size(), 2u);
    EXPECT_EQ(s.instruments[5].resource.kind, LAN_SOCKET);
    EXPECT_EQ(s.instruments[5].line, 2);
    EXPECT_EQ(s.connectTimeoutMs, 500u);
    EXPECT_EQ(s.portmapperPort, 4111u);
    EXPECT_TRUE(LanCheckOwnAddress(s, 30, error));
    EXPECT_FALSE(LanCheckOwnAddress(s, 5, error));
    EXPECT_EQ(error, "tavk_lan.json: line 2: instruments[5]: is the board's own address 5, not an instrument's");
}

TEST(LanSettingsFile, EveryProblemNamesFileLineAndField)
{
    EXPECT_EQ(SettingsError("{\"instruments\": {\n\"31\": \"TCPIP::h::INSTR\"}}"),
              "tavk_lan.json: line 2: instruments[31]: is not a primary address 0..30");
    EXPECT_EQ(SettingsError("{\"instruments\": {\"2\": \"TCPIP::h::INSTR\"},\n\"connectTimeoutMs\": 0}"),
              "tavk_lan.json: line 2: connectTimeoutMs: is 0, outside 1..60000");
    EXPECT_EQ(SettingsError("{\"instruments\": {}, \"trace\": 1}"), "tavk_lan.json: line 1: trace: is not a known field");
    EXPECT_EQ(SettingsError("{}"), "tavk_lan.json: line 1: instruments: is missing");
    EXPECT_EQ(SettingsError("{\"instruments\": {\"4\": 4}}"), "tavk_lan.json: line 1: instruments[4]: must be a text (a resource string)");
    EXPECT_NE(SettingsError("{\"instruments\": {\n\n\"4\": \"COM3\"}}").find("line 3: instruments[4]: 'COM3' does not start with TCPIP"), std::string::npos);
    EXPECT_NE(SettingsError("{\"instruments\": ").find("tavk_lan.json: line 1"), std::string::npos);
    EXPECT_NE(SettingsError("[1]").find("JSON object"), std::string::npos);
}

TEST(LanXdr, WordsOpaqueAndShortInput)
{
    XdrWriter w;
    w.U32(0x01020304).I32(-2).Bool(true).Opaque("abcde");
    EXPECT_EQ(w.bytes.size(), 4u + 4 + 4 + 4 + 8);
    EXPECT_EQ(w.bytes.substr(0, 4), std::string("\x01\x02\x03\x04", 4));
    XdrReader r(w.bytes);
    EXPECT_EQ(r.U32(), 0x01020304u);
    EXPECT_EQ(r.I32(), -2);
    EXPECT_TRUE(r.Bool());
    EXPECT_EQ(r.Opaque(), "abcde");
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_FALSE(r.ok);
    std::string shortOpaque = w.bytes.substr(0, 12) + std::string("\x00\x00\x00\x09xy", 6);
    XdrReader s(shortOpaque, 12);
    EXPECT_EQ(s.Opaque(), "");
    EXPECT_FALSE(s.ok);
    XdrWriter big;
    big.U32(0xFFFFFFF0u);
    XdrReader b(big.bytes);
    b.Opaque();
    EXPECT_FALSE(b.ok);
}

TEST(LanRpc, CallReplyAndRecordMarking)
{
    std::string call = RpcCall(7, VXI11_CORE_PROGRAM, 1, VXI11_DEVICE_READSTB, "ARGS");
    XdrReader r(call);
    RpcCallHeader h;
    ASSERT_TRUE(RpcParseCall(r, h));
    EXPECT_EQ(h.xid, 7u);
    EXPECT_EQ(h.program, uint32_t(VXI11_CORE_PROGRAM));
    EXPECT_EQ(h.procedure, uint32_t(VXI11_DEVICE_READSTB));
    EXPECT_EQ(call.substr(r.at), "ARGS");

    std::string reply = RpcReply(7, ONCRPC_SUCCESS, "RES!");
    uint32_t status = 99;
    XdrReader rr(reply);
    EXPECT_EQ(RpcParseReply(rr, 7, status), ONCRPC_REPLY_OK);
    EXPECT_EQ(reply.substr(rr.at), "RES!");
    XdrReader other(reply);
    EXPECT_EQ(RpcParseReply(other, 8, status), ONCRPC_REPLY_OTHER_XID);
    std::string refusedText = RpcReply(7, ONCRPC_PROC_UNAVAIL, "");
    XdrReader refusedReader(refusedText);
    EXPECT_EQ(RpcParseReply(refusedReader, 7, status), ONCRPC_REPLY_NOT_ACCEPTED);
    EXPECT_EQ(status, uint32_t(ONCRPC_PROC_UNAVAIL));
    std::string garbage("\0\0\0\7", 4);
    XdrReader g(garbage);
    EXPECT_EQ(RpcParseReply(g, 7, status), ONCRPC_REPLY_GARBLED);

    // Two fragments make one record; a partial one waits; a huge one is refused.
    std::string stream = std::string("\x00\x00\x00\x02", 4) + "ab" + std::string("\x80\x00\x00\x01", 4) + "c" + RpcRecord("next");
    std::string message;
    ASSERT_EQ(RpcTakeRecord(stream, message), RECORD_COMPLETE);
    EXPECT_EQ(message, "abc");
    ASSERT_EQ(RpcTakeRecord(stream, message), RECORD_COMPLETE);
    EXPECT_EQ(message, "next");
    EXPECT_TRUE(stream.empty());
    std::string partial = RpcRecord("whole").substr(0, 6);
    EXPECT_EQ(RpcTakeRecord(partial, message), RECORD_INCOMPLETE);
    std::string huge("\xFF\xFF\xFF\xFF", 4);
    EXPECT_EQ(RpcTakeRecord(huge, message), RECORD_TOO_LONG);
}

TEST(LanRpc, PortmapperMapping)
{
    PmapMapping m;
    m.program = VXI11_CORE_PROGRAM;
    m.version = 1;
    m.port = 1024;
    std::string bytes = PmapEncode(m);
    EXPECT_EQ(bytes.size(), 16u);
    XdrReader r(bytes);
    PmapMapping back = PmapDecode(r);
    EXPECT_EQ(back.program, m.program);
    EXPECT_EQ(back.protocol, uint32_t(PMAP_IPPROTO_TCP));
    EXPECT_EQ(back.port, 1024u);
}

// Each procedure's arguments and results come back as they went, and short ones are garbage.
TEST(LanVxi11, ArgumentsAndResultsOfEveryProcedure)
{
    const uint32_t procedures[] = {VXI11_CREATE_LINK, VXI11_DEVICE_WRITE, VXI11_DEVICE_READ, VXI11_DEVICE_READSTB,
                                   VXI11_DEVICE_TRIGGER, VXI11_DEVICE_CLEAR, VXI11_DEVICE_REMOTE, VXI11_DEVICE_LOCAL,
                                   VXI11_DEVICE_LOCK, VXI11_DEVICE_UNLOCK, VXI11_DEVICE_ENABLE_SRQ, VXI11_DEVICE_DOCMD,
                                   VXI11_DESTROY_LINK, VXI11_CREATE_INTR_CHAN, VXI11_DEVICE_INTR_SRQ};
    for (uint32_t p : procedures) {
        Vxi11Args a;
        a.clientId = 3; a.lockDevice = true; a.lockTimeout = 10; a.device = "gpib0,9"; a.link = 5; a.ioTimeout = 200;
        a.flags = VXI11_FLAG_END; a.requestSize = 512; a.termChar = '\n'; a.data = "*IDN?\n"; a.enable = true;
        a.cmd = VXI11_DOCMD_SEND_COMMAND; a.dataSize = 1; a.hostAddr = 0x7F000001; a.hostPort = 999; a.progNum = VXI11_INTR_PROGRAM;
        a.progVers = 1;
        std::string bytes = Vxi11EncodeArgs(p, a);
        XdrReader r(bytes);
        Vxi11Args b;
        ASSERT_TRUE(Vxi11DecodeArgs(p, r, b)) << Vxi11ProcedureName(p);
        EXPECT_TRUE(r.AtEnd()) << Vxi11ProcedureName(p);
        EXPECT_EQ(Vxi11EncodeArgs(p, b), bytes) << Vxi11ProcedureName(p);
        if (bytes.size() > 4) {
            std::string cut = bytes.substr(0, bytes.size() - 4);
            XdrReader c(cut);
            Vxi11Args x;
            EXPECT_FALSE(Vxi11DecodeArgs(p, c, x) && c.AtEnd() && p != VXI11_DEVICE_WRITE) << Vxi11ProcedureName(p);
        }
        Vxi11Result res;
        res.error = VXI11_ERR_IO_TIMEOUT; res.link = 4; res.maxRecvSize = 1024; res.size = 6; res.reason = VXI11_REASON_END;
        res.data = "1.0\n"; res.stb = 0x50;
        std::string rb = Vxi11EncodeResult(p, res);
        XdrReader rr(rb);
        Vxi11Result back;
        ASSERT_TRUE(Vxi11DecodeResult(p, rr, back));
        EXPECT_TRUE(rr.AtEnd());
        EXPECT_EQ(Vxi11EncodeResult(p, back), rb);
    }
    EXPECT_STREQ(Vxi11ProcedureName(VXI11_DEVICE_READ), "device_read");
    std::string empty;
    XdrReader none(empty);
    Vxi11Args z;
    EXPECT_FALSE(Vxi11DecodeArgs(99, none, z));
}

TEST(LanSocketFrame, LineEndsAndDefiniteLengthBlocks)
{
    EXPECT_EQ(LanSocketAnswerEnd("+1.0E+00\n"), 9u);
    EXPECT_EQ(LanSocketAnswerEnd("+1.0E+00"), 0u);
    EXPECT_EQ(LanSocketAnswerEnd("a\nb\n"), 2u);
    std::string block = std::string("#15") + "a\nb\nc" + "\n";
    EXPECT_EQ(LanSocketAnswerEnd(block), block.size());
    EXPECT_EQ(LanSocketAnswerEnd(block.substr(0, block.size() - 1)), block.size() - 1);   // a block alone
    EXPECT_EQ(LanSocketAnswerEnd("#15a\nb"), 0u);
    EXPECT_EQ(LanSocketAnswerEnd("#"), 0u);
    EXPECT_EQ(LanSocketAnswerEnd("#2"), 0u);
    EXPECT_EQ(LanSocketAnswerEnd(":CURV #13\n\n\n;\n"), 14u);
    EXPECT_EQ(LanSocketAnswerEnd("#0abc\n"), 6u);   // an indefinite block ends at LF
    EXPECT_EQ(LanSocketAnswerEnd("#9999999999"), 0u);
}

static std::string IntrCall(uint32_t xid, const std::string& handle, uint32_t program = VXI11_INTR_PROGRAM,
                            uint32_t procedure = VXI11_DEVICE_INTR_SRQ)
{
    Vxi11Args a;
    a.device = handle;
    return RpcRecord(RpcCall(xid, program, VXI11_VERSION, procedure, Vxi11EncodeArgs(VXI11_DEVICE_INTR_SRQ, a)));
}

TEST(LanInterruptChannel, TakesTheHandlesOfCompleteServiceRequests)
{
    std::string second = IntrCall(2, "tavk22");
    std::string inbox = IntrCall(1, "tavk9") + IntrCall(3, "x", VXI11_CORE_PROGRAM) + IntrCall(4, "y", VXI11_INTR_PROGRAM, 31) +
                        second.substr(0, 10);
    std::vector<std::string> handles;
    ASSERT_TRUE(LanTakeServiceRequests(inbox, handles));
    EXPECT_EQ(handles, std::vector<std::string>{"tavk9"});   // other programs and procedures: dropped
    EXPECT_EQ(inbox, second.substr(0, 10));                  // the partial call waits for its rest
    inbox += second.substr(10);
    ASSERT_TRUE(LanTakeServiceRequests(inbox, handles));
    EXPECT_EQ(handles, (std::vector<std::string>{"tavk9", "tavk22"}));
    EXPECT_TRUE(inbox.empty());
    // A handle longer than the protocol's 40 bytes is no call; a stream that is no records ends it.
    inbox = IntrCall(5, std::string(41, 'h'));
    ASSERT_TRUE(LanTakeServiceRequests(inbox, handles));
    EXPECT_EQ(handles.size(), 2u);
    inbox = std::string("\xFF\xFF\xFF\xFF", 4);
    EXPECT_FALSE(LanTakeServiceRequests(inbox, handles));
}
