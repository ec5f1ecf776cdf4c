// The bus settings shared by modules with one own address, and the channel buffers a GPIB-IN
// start takes from the host heap, driven through the module messages of the stand-in host.
#include <limits>
#include <stdio.h>
#include <algorithm>
#include "extavik/data/gpibfields.h"
#include "extavik/texts/modtexts.h"
#include "tests/modules/pluginbench.h"

namespace {

class SharedState : public PluginBench {
protected:
    static size_t LiveBuffers()
    {
        size_t n = 0;
        for (const standin::HeapBlock& b : standin::LiveBlocks())
            if (b.file == "gpibModule")
                n++;
        return n;
    }
};

TEST_F(SharedState, ModulesWithOneOwnAddressShareTheirBusSettings)
{
    ModuleRecord* a = CreateIn(5);
    ModuleRecord* b = CreateOut(5);
    ModuleRecord* other = CreateIn(6);
    GpibModuleParams* pa = standin::Params(a);
    pa->requestMode[3] = REQUEST_SPOLL;
    pa->busTimeout = 17;
    EXPECT_EQ(standin::SendToModule(a, MM_PRESTART), 1);

    EXPECT_EQ(standin::SendToModule(b, MM_TAKE_BUS_SETTINGS), 1);
    EXPECT_EQ(standin::Params(b)->requestMode[3], REQUEST_SPOLL);
    EXPECT_EQ(standin::Params(b)->busTimeout, 17);
    EXPECT_EQ(standin::SendToModule(other, MM_TAKE_BUS_SETTINGS), 1);
    EXPECT_EQ(standin::Params(other)->requestMode[3], REQUEST_NORMAL);
    EXPECT_EQ(standin::Params(other)->busTimeout, 4);

    // A module created later on that address starts with the published row.
    ModuleRecord* late = CreateIn(5);
    EXPECT_EQ(standin::Params(late)->requestMode[3], REQUEST_SPOLL);
    EXPECT_EQ(standin::Params(late)->busTimeout, 17);
    EXPECT_EQ(standin::Params(late)->ppollSense[3], PPOLL_SENSE_1);
}

TEST_F(SharedState, PublishingWritesAllSixteenChannels)
{
    ModuleRecord* wide = CreateIn(9);
    ModuleRecord* narrow = CreateIn(9);
    GpibModuleParams* pw = standin::Params(wide);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++) {
        pw->requestMode[ch] = REQUEST_PPOLL;
        pw->ppollLine[ch] = 7;
    }
    standin::SendToModule(wide, MM_PRESTART);
    narrow->outputCount = 2;
    standin::SendToModule(narrow, MM_PRESTART);   // its block still holds the creation values
    standin::SendToModule(wide, MM_TAKE_BUS_SETTINGS);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++) {
        SCOPED_TRACE(ch);
        EXPECT_EQ(pw->requestMode[ch], REQUEST_NORMAL);
        EXPECT_EQ(pw->ppollLine[ch], 0);
    }
}

// A stored block may hold an own address without a row: it neither publishes nor takes.
TEST_F(SharedState, OwnAddressWithoutRowTouchesNoRow)
{
    ModuleRecord* neighbour = CreateIn(30);
    ModuleRecord* first = CreateIn(0);
    for (int16_t bad : {(int16_t)31, (int16_t)-1, (int16_t)0x7fff}) {
        SCOPED_TRACE(bad);
        ModuleRecord* m = CreateIn(30);
        GpibModuleParams* p = standin::Params(m);
        p->myAddress = bad;
        p->busTimeout = 55;
        p->requestMode[0] = REQUEST_SPOLL;
        EXPECT_EQ(standin::SendToModule(m, MM_PRESTART), 1);
        EXPECT_EQ(standin::SendToModule(m, MM_TAKE_BUS_SETTINGS), 1);
        EXPECT_EQ(p->busTimeout, 55);
        for (ModuleRecord* n : {neighbour, first}) {
            standin::SendToModule(n, MM_TAKE_BUS_SETTINGS);
            EXPECT_EQ(standin::Params(n)->busTimeout, 4);
            EXPECT_EQ(standin::Params(n)->requestMode[0], REQUEST_NORMAL);
        }
    }
    EXPECT_TRUE(standin::HostErrors().empty());
}

TEST_F(SharedState, StartSizesRingsAndReceiveBufferFromTheBlock)
{
    ModuleRecord* m = CreateIn(30);
    m->outputCount = 3;
    GpibModuleParams* p = standin::Params(m);
    p->recvBufferKB[0] = 8;
    p->recvBufferKB[1] = 4;
    p->recvBufferKB[2] = 16;
    ASSERT_EQ(standin::SendToModule(m, MM_START), 1) << standin::WarningsAsUtf8();
    EXPECT_EQ(m->channel[0]->ringCapacity, 2049u);
    EXPECT_EQ(m->channel[1]->ringCapacity, 1025u);
    EXPECT_EQ(m->channel[2]->ringCapacity, 4097u);
    std::vector<size_t> sizes;
    for (const standin::HeapBlock& b : standin::LiveBlocks())
        if (b.file == "gpibModule")
            sizes.push_back(b.size);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<size_t>{4100, 8196, 16388, 16388}));
    EXPECT_NE(m->runtime->transferBuffer, nullptr);

    EXPECT_EQ(standin::SendToModule(m, MM_STOP), 1);
    EXPECT_EQ(LiveBuffers(), 0u);
    EXPECT_EQ(m->runtime->transferBuffer, nullptr);
    EXPECT_EQ(m->channel[0]->ring, nullptr);
    EXPECT_TRUE(standin::HeapErrors().empty());
}

// Every allocation of the start may fail: the start says 0 and the stop gives back the rest.
TEST_F(SharedState, FailedAllocationAtEachStepLeavesNothingBehind)
{
    ModuleRecord* m = CreateIn(30);
    m->outputCount = 3;
    for (int n = 1; n <= 4; n++) {
        SCOPED_TRACE(n);
        standin::FailAllocation(n);
        EXPECT_EQ(standin::SendToModule(m, MM_START), 0);
        standin::FailAllocation(0);
        EXPECT_EQ(standin::SendToModule(m, MM_STOP), 1);
        EXPECT_EQ(LiveBuffers(), 0u);
    }
    // Two starts in a row do not lose the first start's buffers either.
    EXPECT_EQ(standin::SendToModule(m, MM_START), 1);
    EXPECT_EQ(standin::SendToModule(m, MM_START), 1);
    EXPECT_EQ(LiveBuffers(), 4u);
    EXPECT_EQ(standin::SendToModule(m, MM_STOP), 1);
    EXPECT_EQ(LiveBuffers(), 0u);
    EXPECT_TRUE(standin::HeapErrors().empty());
}

// Addresses without a table slot and buffer sizes outside 4..16384 KB refuse the start by name.
TEST_F(SharedState, StartRefusesSettingsNoTableOrBufferHolds)
{
    struct Case {
        const char* what;
        const char* className;
        std::function<void(GpibModuleParams*)> spoil;
        const char* format;
        int channel;
        long value;
    };
    const Case cases[] = {
        {"own address 31", CLASS_IN, [](GpibModuleParams* p) { p->myAddress = 31; }, START_TEXT_OWN_ADDRESS, -1, 31},
        {"own address -1", CLASS_OUT, [](GpibModuleParams* p) { p->myAddress = -1; }, START_TEXT_OWN_ADDRESS, -1, -1},
        {"primary 31", CLASS_IN, [](GpibModuleParams* p) { p->addr[1].primaryAddress = 31; }, START_TEXT_PRIMARY, 1, 31},
        {"primary -5", CLASS_OUT, [](GpibModuleParams* p) { p->addr[1].primaryAddress = -5; }, START_TEXT_PRIMARY, 1, -5},
        {"buffer 0 KB", CLASS_IN, [](GpibModuleParams* p) { p->recvBufferKB[1] = 0; }, START_TEXT_BUFFER, 1, 0},
        {"buffer 16385 KB", CLASS_IN, [](GpibModuleParams* p) { p->recvBufferKB[1] = 16385; }, START_TEXT_BUFFER, 1, 16385},
        {"buffer 4 GB", CLASS_IN, [](GpibModuleParams* p) { p->recvBufferKB[1] = 0x400000; }, START_TEXT_BUFFER, 1, 0x400000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModuleRecord* m = Create(c.className, 30);
        m->outputCount = strcmp(c.className, CLASS_IN) == 0 ? 2 : 0;
        standin::Params(m)->outChannelCount = 2;
        c.spoil(standin::Params(m));
        standin::ClearRecords();
        EXPECT_EQ(standin::SendToModule(m, MM_START), 0);
        char text[START_MESSAGE_SIZE];
        if (c.channel < 0)
            snprintf(text, sizeof text, c.format, m->moduleName, (int)c.value);
        else if (c.format == START_TEXT_BUFFER)
            snprintf(text, sizeof text, c.format, m->moduleName, c.channel, (unsigned)c.value);
        else
            snprintf(text, sizeof text, c.format, m->moduleName, c.channel, (int)c.value);
        ASSERT_EQ(standin::Warnings().size(), 1u) << standin::WarningsAsUtf8();
        EXPECT_EQ(standin::Warnings()[0].caption, START_TITLE);
        EXPECT_EQ(standin::Warnings()[0].text, text) << standin::WarningsAsUtf8();
        EXPECT_EQ(LiveBuffers(), 0u);
        standin::SendToModule(m, MM_STOP);
        standin::RemoveModule(m);
    }
}

// A stored request interval that is no positive number up to 60000 s would pace the bus on every
// cycle or never: the GPIB-IN start names it and refuses. Short ones are held to the sample period.
TEST_F(SharedState, StartRefusesAnIntervalTheDialogWouldRefuse)
{
    struct Case { double interval; const char* shown; };
    const Case cases[] = {{0.0, "0"}, {60001.0, "60001"}, {-1.0, "-1"}, {1e300, "1e+300"},
                          {std::numeric_limits<double>::quiet_NaN(), "nan"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        ModuleRecord* m = Create(CLASS_IN, 30);
        m->outputCount = 2;
        standin::Params(m)->requestInterval[1] = c.interval;
        standin::ClearRecords();
        EXPECT_EQ(standin::SendToModule(m, MM_START), 0);
        char text[START_MESSAGE_SIZE];
        snprintf(text, sizeof text, START_TEXT_INTERVAL, m->moduleName, 1, c.shown);
        ASSERT_EQ(standin::Warnings().size(), 1u) << standin::WarningsAsUtf8();
        EXPECT_EQ(standin::Warnings()[0].text, text) << standin::WarningsAsUtf8();
        EXPECT_EQ(LiveBuffers(), 0u);
        standin::SendToModule(m, MM_STOP);
        standin::RemoveModule(m);
    }
    // The limit and a short interval are accepted.
    ModuleRecord* m = Create(CLASS_IN, 30);
    m->outputCount = 2;
    standin::Params(m)->requestInterval[0] = 0.001;
    standin::Params(m)->requestInterval[1] = REQUEST_INTERVAL_MAX;
    EXPECT_EQ(standin::SendToModule(m, MM_START), 1) << standin::WarningsAsUtf8();
    standin::SendToModule(m, MM_STOP);
    standin::RemoveModule(m);
}

}  // namespace
