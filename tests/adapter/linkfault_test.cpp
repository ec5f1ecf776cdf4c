// Faults of the link by countdown: every system call of the adapter-backed driver's link (connect,
// send, receive, wait, the port's reads and writes) fails in turn, once per run of the same entry
// points. Each run must end in a clean error (link, reply or time-out) or a success whose effect is
// there, and the link must come back: nothing reported done may be lost, nothing may crash or hang.
// The call log of a run without faults names every call site of the link's table.
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include "boards/adapter/adapterlink.h"
#include "tests/adapter/adapterbench.h"

namespace {

const char idn[] = "TAVIK-SIM,DMM-22,0,1.0\n";

std::string LogPath() { return TestDir() + "adapter_link_calls.log"; }

struct Call {
    uint32_t n;
    int site;
    uint32_t nth;
};

std::vector<Call> ReadLog()
{
    std::vector<Call> calls;
    std::ifstream in(LogPath().c_str());
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Call c{};
        if (fields >> c.n >> c.site >> c.nth) calls.push_back(c);
    }
    return calls;
}

// A call that failed must say why with one of the link's errors.
void ExpectCleanFailure(AdapterBench& b, const std::string& step, const std::string& run)
{
    int32_t e = b.TavkGetLastError(b.board);
    EXPECT_TRUE(e == TAVK_ERR_LINK || e == TAVK_ERR_REPLY || e == TAVK_ERR_TIMEOUT)
        << run << ": " << step << " failed with error " << e;
}

// Sends and, when reported sent, finds the data at the device.
void Send(AdapterBench& b, const char* data, const std::string& run)
{
    b.Input(22);   // what a failed call before may have left
    int32_t r = b.TavkSendDataC(b.board, 22, data, static_cast<uint32_t>(strlen(data)));
    if (r == 1) EXPECT_EQ(b.Input(22), std::string(data) + "\r\n") << run << ": sent " << data << "; the adapter received " << ::testing::PrintToString(b.adapter.Lines());
    else ExpectCleanFailure(b, std::string("send ") + data, run);
}

void Receive(AdapterBench& b, const std::string& run)
{
    int32_t r = 0;
    std::string got = b.Receive(22, r);
    if (r == 1) EXPECT_EQ(got, idn) << run << ": received";
    else ExpectCleanFailure(b, "receive", run);
}

// One run: the entry points that use the link, an idle drop in the middle, then a query that
// must work again (the fault came once).
void Scenario(const std::string& fault, const std::string& run)
{
    SetEnvironmentVariableA("TAVK_ADAPTER_LINK_FAULT", fault.empty() ? nullptr : fault.c_str());
    AdapterBench b;
    ASSERT_TRUE(b.Load());
    int32_t r = b.TavkCreate(&b.board);
    if (r != 1) {
        ExpectCleanFailure(b, "create", run);
        ASSERT_EQ(b.TavkCreate(&b.board), 1) << run << ": create again";
    }
    ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
    if (b.TavkSetTime(b.board, 300) != 1) ExpectCleanFailure(b, "set time", run);
    if (b.TavkSetEos(b.board, 0, 0) != 1) ExpectCleanFailure(b, "set end-of-string", run);
    Send(b, "*IDN?", run);
    Receive(b, run);
    b.adapter.AdapterSimCloseLink();
    Sleep(50);
    Send(b, "*RST", run);
    int16_t stb = -1, line = -1;
    if (b.TavkSpoll(b.board, 9, &stb) == 1) EXPECT_EQ(stb, 0) << run;
    else ExpectCleanFailure(b, "serial poll", run);
    if (b.TavkGetSrqLine(b.board, &line) == 1) EXPECT_EQ(line, 0) << run;
    else ExpectCleanFailure(b, "SRQ line", run);
    // A query, again if the fault hit it: the second one must work, the link came back.
    for (int attempt = 0; attempt < 2; attempt++) {
        std::string when = run + (attempt ? ", the query again" : ", the query");
        b.Input(22);
        if (b.TavkSendDataC(b.board, 22, "*IDN?", 5) != 1) {
            ExpectCleanFailure(b, "send", when);
            ASSERT_EQ(attempt, 0) << when << ": the link did not come back";
            continue;
        }
        EXPECT_EQ(b.Input(22), "*IDN?\r\n") << when;
        std::string got = b.Receive(22, r);
        if (r == 1) {
            EXPECT_EQ(got, idn) << when;
            break;
        }
        ExpectCleanFailure(b, "receive", when);
        ASSERT_EQ(attempt, 0) << when << ": the link did not come back";
    }
    EXPECT_EQ(b.TavkClose(b.board), 1) << run;
    SetEnvironmentVariableA("TAVK_ADAPTER_LINK_FAULT", nullptr);
}

TEST(AdapterLinkFaults, EveryLinkCallFailsOnceAndTheRunEndsCleanly)
{
    // Winsock stays loaded while the driver and the simulator are unloaded and loaded again for
    // each run: Wine's does not start again after its last user unloaded it.
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    bool serial = SerialConfiguration();
    DeleteFileA(LogPath().c_str());
    SetEnvironmentVariableA("TAVK_ADAPTER_LINK_LOG", LogPath().c_str());
    Scenario("", "no fault");
    SetEnvironmentVariableA("TAVK_ADAPTER_LINK_LOG", nullptr);
    if (HasFatalFailure()) return;
    std::vector<Call> calls = ReadLog();
    ASSERT_FALSE(calls.empty());

    // The log proves the table complete: every site of this kind of link is called.
    std::map<int, uint32_t> perSite;
    for (const Call& c : calls) {
        ASSERT_GE(c.site, 0);
        ASSERT_LT(c.site, LINK_SITE_COUNT);
        EXPECT_EQ(linkSites[c.site].serial, serial) << linkSites[c.site].name;
        perSite[c.site] = c.nth > perSite[c.site] ? c.nth : perSite[c.site];
    }
    for (int site = 0; site < LINK_SITE_COUNT; site++)
        if (linkSites[site].serial == serial && linkSites[site].driver) {
            EXPECT_GT(perSite[site], 0u) << linkSites[site].name << " never called";
        }

    // Over TCP the calls come in the same order each run: the nth of all fails, for every n.
    // A serial port is polled in its waits as often as time allows, so there the kth call of
    // each site fails, for every k (of the port's status polls, the first few).
    std::vector<std::string> faults;
    if (!serial) {
        for (const Call& c : calls) faults.push_back(std::to_string(c.n));
    } else {
        for (const auto& s : perSite) {
            uint32_t last = s.first == LINK_SITE_PORT_STATUS && s.second > 8 ? 8 : s.second;
            for (uint32_t k = 1; k <= last; k++) faults.push_back(std::to_string(s.first) + ":" + std::to_string(k));
        }
    }
    for (const std::string& f : faults) {
        Scenario(f, "fault " + f);
        if (HasFatalFailure()) return;
    }
    printf("link calls in one run: %u; runs with one failing: %u\n", static_cast<unsigned>(calls.size()),
           static_cast<unsigned>(faults.size()));
    WSACleanup();
}

// The link calls of one query to the multimeter and its answer, pauseMs apart, up to the first
// receive posted after a write (an answer may come in pieces). The waits are left out: whether
// the answer was there before the read looked is the scheduler's choice.
std::vector<int> QueryAndAnswer(AdapterBench& b, uint32_t pauseMs, const std::string& run)
{
    size_t before = ReadLog().size();
    Send(b, "*IDN?", run);
    if (pauseMs) Sleep(pauseMs);
    Receive(b, run);
    std::vector<int> sites;
    std::vector<Call> calls = ReadLog();
    bool written = false;
    for (size_t i = before; i < calls.size(); i++) {
        if (calls[i].site == LINK_SITE_RECV_WAIT) continue;
        sites.push_back(calls[i].site);
        if (calls[i].site == LINK_SITE_RECV && written) break;
        written = written || calls[i].site == LINK_SITE_SEND;
    }
    return sites;
}

// The socket calls of a query and its answer: the query's write looks at the link first (a write
// into a closed link would be reported sent), and that look posts the one receive the answer
// comes in, so the read makes no call of its own but its wait, even after a pause. A receive
// that timed out stays posted: the next query's look finds it and costs no call at all.
TEST(AdapterLinkCalls, AQueryAndItsAnswerMakeOneReceiveThatTheLookPosts)
{
    if (SerialConfiguration()) GTEST_SKIP() << "a serial port is polled in its waits as often as time allows";
    DeleteFileA(LogPath().c_str());
    SetEnvironmentVariableA("TAVK_ADAPTER_LINK_LOG", LogPath().c_str());
    AdapterBench b;
    ASSERT_TRUE(b.Load());
    ASSERT_EQ(b.TavkCreate(&b.board), 1);
    ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
    ASSERT_EQ(b.TavkSetTime(b.board, 50), 1);
    ASSERT_EQ(b.TavkSetEos(b.board, 0, 0), 1);
    QueryAndAnswer(b, 0, "the first query");   // its ++addr goes once
    const int send = LINK_SITE_SEND, post = LINK_SITE_RECV;
    const std::vector<int> query = {post, send, send};
    EXPECT_EQ(QueryAndAnswer(b, 0, "a query"), query);
    EXPECT_EQ(QueryAndAnswer(b, ADAPTER_LOOK_LASTS_MS + 20, "a query, a pause, its answer"), query);

    int32_t r = 1;
    EXPECT_EQ(b.Receive(12, r), "");   // the silent device: the adapter's read times out
    EXPECT_EQ(r, 0);
    // ++addr 22 again, and no post: the receive that timed out is still out.
    EXPECT_EQ(QueryAndAnswer(b, 0, "the query after a time-out"), (std::vector<int>{send, send, send}));
    EXPECT_EQ(QueryAndAnswer(b, 0, "the query after that"), query);
    SetEnvironmentVariableA("TAVK_ADAPTER_LINK_LOG", nullptr);
}

}  // namespace
