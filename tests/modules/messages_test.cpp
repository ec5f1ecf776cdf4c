// The module messages of GPIB-IN and GPIB-OUT as the host sends them, grouped by message.
#include <stdio.h>
#include "extavik/texts/cmdtexts.h"
#include "extavik/data/gpibfields.h"
#include "extavik/texts/modtexts.h"
#include "extavik/ui/resources/resource.h"
#include "tests/modules/pluginbench.h"

namespace {

class ModuleMessages : public PluginBench {};

TEST_F(ModuleMessages, PlainAnswersAndTheDefaultPath)
{
    ModuleRecord* in = CreateIn();
    ModuleRecord* out = CreateOut();
    struct Case { uint32_t message; int32_t result; };
    const Case cases[] = {
        {MM_PROBE, 1}, {MM_NOTICE_102, 1}, {MM_TAKE_BUS_SETTINGS, 1}, {MM_PRESTART, 1},
        {MM_REFUSED_119, 0}, {MM_NOTICE_120, 1}, {MM_NOTICE_121, 1}, {MM_NOTICE_122, 1},
    };
    for (ModuleRecord* m : {in, out})
        for (const Case& c : cases) {
            SCOPED_TRACE(c.message);
            EXPECT_EQ(standin::SendToModule(m, c.message, 3, 0), c.result);
        }
    EXPECT_TRUE(standin::DefaultActions().empty());

    standin::SetDefaultActionResult(42);
    for (ModuleRecord* m : {in, out}) {
        standin::ClearRecords();
        standin::SetDefaultActionResult(42);
        EXPECT_EQ(standin::SendToModule(m, 150, 7, 0x1234), 42);
        ASSERT_EQ(standin::DefaultActions().size(), 1u);
        const standin::DefaultActionRecord& r = standin::DefaultActions()[0];
        EXPECT_EQ(r.module, m);
        EXPECT_EQ(r.message, 150u);
        EXPECT_EQ(r.wParam, 7);
        EXPECT_EQ(r.lParam, 0x1234);
    }
}

TEST_F(ModuleMessages, CreationWritesTheDefaultsOrIsCancelled)
{
    for (const char* cls : {CLASS_IN, CLASS_OUT}) {
        SCOPED_TRACE(cls);
        dialogdriver::CancelSelect();
        int32_t result = 7;
        EXPECT_EQ(standin::CreateModule(cls, &result), nullptr);
        EXPECT_EQ(result, 0);
    }

    struct Case {
        const char* cls;
        int32_t outputs;
        const char* name3;
        const char* script;
    };
    const Case cases[] = {
        {CLASS_IN, 1, "GPIB-IN 3", DEFAULT_IN_SCRIPT},
        {CLASS_OUT, 0, "GPIB-OUT 3", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        ModuleRecord* m = Create(c.cls, 12);
        ASSERT_NE(m, nullptr);
        const GpibModuleParams* p = standin::Params(m);
        EXPECT_EQ(m->outputCount, c.outputs);
        EXPECT_EQ(m->inputCount, 0);
        EXPECT_EQ(p->myAddress, 12);
        EXPECT_EQ(p->initCommandMode, OUT_MODE_ALWAYS);
        EXPECT_STREQ(p->channelName[3], c.name3);
        for (int ch = 0; ch < GPIB_CHANNELS; ch++) {
            SCOPED_TRACE(ch);
            EXPECT_STREQ(p->commandText[ch], c.script);
            EXPECT_EQ(p->addr[ch].primaryAddress, 22);
            EXPECT_EQ(p->addr[ch].secondaryAddress, 0);
            EXPECT_EQ(p->dataType[ch], DATA_ASCII);
            EXPECT_EQ(p->terminator[ch], TERM_CRLF);
            EXPECT_EQ(p->recvBlockLength[ch], 1u);
            EXPECT_EQ(p->recvBufferKB[ch], 8u);
            EXPECT_EQ(p->requestInterval[ch], 1.0);
            EXPECT_EQ(p->stopOnTimeout[ch], 0);
            EXPECT_EQ(p->requestMode[ch], REQUEST_NORMAL);
        }
        EXPECT_EQ(p->busTimeout, 4);
    }
    const GpibModuleParams* out = standin::Params(standin::Modules().back());
    EXPECT_EQ(out->outChannelCount, 1);
    EXPECT_EQ(out->outMode, OUT_MODE_ALWAYS);
    EXPECT_EQ(out->outHasInputs, 0);
}

// 117 marks the action-controlled channels; GPIB-OUT only in always mode.
TEST_F(ModuleMessages, ArmMarksTheMaskedChannels)
{
    struct Case {
        const char* what;
        const char* cls;
        int32_t count;      // outputCount (GPIB-IN) or outChannelCount (GPIB-OUT)
        int32_t outMode;
        int32_t kind;
        int32_t mask;
        int32_t result;
        uint32_t marked;    // bit per channel after the message
    };
    const Case cases[] = {
        {"all of three", CLASS_IN, 3, 0, 0, 0, 1, 0x0007},
        {"no outputs: all", CLASS_IN, 0, 0, 14, 0, 1, 0xffff},
        {"mask within count", CLASS_IN, 4, 0, 14, 0x0012, 1, 0x0002},
        {"wrong kind", CLASS_IN, 3, 0, 13, 0, 0, 0x8000},
        {"stored count 40", CLASS_IN, 40, 0, 14, 0, 1, 0xffff},
        {"stored count -3", CLASS_IN, -3, 0, 14, 0, 1, 0x0000},
        {"out always", CLASS_OUT, 2, OUT_MODE_ALWAYS, 13, 0, 1, 0x0003},
        {"out no channels", CLASS_OUT, 0, OUT_MODE_ALWAYS, 0, 0x0100, 1, 0x0100},
        {"out at start", CLASS_OUT, 2, OUT_MODE_AT_START, 13, 0, 0, 0x8000},
        {"out wrong kind", CLASS_OUT, 2, OUT_MODE_ALWAYS, 14, 0, 0, 0x8000},
    };
    ModuleRecord* modules[2] = {CreateIn(), CreateOut()};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool in = strcmp(c.cls, CLASS_IN) == 0;
        ModuleRecord* m = modules[in ? 0 : 1];
        int32_t* flags = in ? m->runtime->actionControlled : m->runtime->outActionControlled;
        flags[15] = 1;   // an earlier arm
        if (in)
            m->outputCount = c.count;
        else {
            standin::Params(m)->outChannelCount = c.count;
            standin::Params(m)->outMode = c.outMode;
        }
        EXPECT_EQ(standin::ArmAction(m, c.mask, c.kind), c.result);
        for (int ch = 0; ch < GPIB_CHANNELS; ch++)
            EXPECT_EQ(flags[ch], (int32_t)(c.marked >> ch & 1)) << "channel " << ch;
        EXPECT_EQ(standin::ResetActions(m), 1);
        for (int ch = 0; ch < GPIB_CHANNELS; ch++)
            EXPECT_EQ(flags[ch], 0);
        EXPECT_EQ(m->runtime->actionCount, 0);
    }
}

TEST_F(ModuleMessages, DescribeFillsTheActionRecord)
{
    struct Case {
        const char* what;
        const char* cls;
        int32_t outMode;
        int32_t kind;
        int32_t result;
        const char* name;   // null: the record stays as it was
        int32_t textId;
    };
    const Case cases[] = {
        {"in, nothing asked", CLASS_IN, 0, 0, 1, nullptr, 0},
        {"in, own kind", CLASS_IN, 0, 14, 1, ACTION_NAME_IN, IDS_ACTION_IN},
        {"in, other kind", CLASS_IN, 0, 13, 0, nullptr, 0},
        {"out, nothing asked", CLASS_OUT, OUT_MODE_ALWAYS, 0, 1, nullptr, 0},
        {"out, own kind", CLASS_OUT, OUT_MODE_ALWAYS, 13, 1, ACTION_NAME_OUT, IDS_ACTION_OUT},
        {"out at start still marks", CLASS_OUT, OUT_MODE_AT_START, 13, 1, ACTION_NAME_OUT, IDS_ACTION_OUT},
        {"out, other kind", CLASS_OUT, OUT_MODE_ALWAYS, 14, 0, nullptr, 0},
    };
    ModuleRecord* modules[2] = {CreateIn(), CreateOut()};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool in = strcmp(c.cls, CLASS_IN) == 0;
        ModuleRecord* m = modules[in ? 0 : 1];
        standin::ResetActions(m);
        if (!in)
            standin::Params(m)->outMode = c.outMode;
        ActionDescription desc;
        memset(&desc, 0xCD, sizeof desc);
        desc.kind = c.kind;
        ActionDescription before = desc;
        EXPECT_EQ(standin::DescribeAction(m, 0x0001, &desc), c.result);
        const int32_t* flags = in ? m->runtime->actionControlled : m->runtime->outActionControlled;
        if (!c.name) {
            EXPECT_EQ(memcmp(&desc, &before, sizeof desc), 0);
            EXPECT_EQ(flags[0], 0);
        } else {
            EXPECT_EQ(desc.instance, (void*)standin::PluginModule());
            EXPECT_STREQ(desc.actionName, c.name);
            const size_t used = strlen(c.name) + 1;
            for (size_t i = used; i < sizeof desc.actionName; i++)
                EXPECT_EQ((uint8_t)desc.actionName[i], 0xCD) << i;
            EXPECT_EQ(desc.reserved, 0);
            EXPECT_EQ(desc.textId, c.textId);
            EXPECT_EQ(flags[0], 1);
        }
    }
}

// 201 asks whether an output has a block pending; an output the module lacks has none.
TEST_F(ModuleMessages, ChannelQueryReadsOnlyOutputsTheModuleHas)
{
    ModuleRecord* in = CreateIn();
    in->outputCount = 2;
    standin::OutputRecord(in, 1)->pending = 5;
    ModuleRecord* out = CreateOut();
    standin::OutputRecord(out, 0)->pending = 5;   // a GPIB-OUT module has no outputs at all
    struct Case { ModuleRecord* m; int32_t channel; int32_t result; };
    const Case cases[] = {
        {in, 0, 1}, {in, 1, 0}, {in, 2, 1}, {in, -1, 1}, {in, 16, 1}, {in, 0x7fffffff, 1},
        {out, 0, 1}, {out, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel);
        EXPECT_EQ(standin::SendToModule(c.m, MM_CHANNEL_QUERY, c.channel, 0), c.result);
    }
    in->outputChannel[0] = nullptr;   // a missing record
    EXPECT_EQ(standin::SendToModule(in, MM_CHANNEL_QUERY, 0, 0), 1);
}

TEST_F(ModuleMessages, StartParsesEveryChannelAndShowsTheFaultyLine)
{
    struct Case { const char* cls; const char* caption; };
    const Case cases[] = {{CLASS_IN, CAPTION_IN_SCRIPT}, {CLASS_OUT, CAPTION_OUT_SCRIPT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        ModuleRecord* m = Create(c.cls, 30);
        m->outputCount = strcmp(c.cls, CLASS_IN) == 0 ? 3 : 0;
        standin::Params(m)->outChannelCount = 3;
        SetScript(m, 2, "SEND \"A\"\r\nBOGUS\r\n");
        standin::ClearRecords();
        EXPECT_EQ(standin::SendToModule(m, MM_START), 0);
        char caption[64];
        snprintf(caption, sizeof caption, c.caption, 2);
        ASSERT_EQ(standin::Warnings().size(), 1u) << standin::WarningsAsUtf8();
        EXPECT_EQ(standin::Warnings()[0].caption, caption);
        char text[64];
        snprintf(text, sizeof text, CMD_TEXT_SYNTAX, 2);
        EXPECT_EQ(standin::Warnings()[0].text, text) << standin::WarningsAsUtf8();
        standin::SendToModule(m, MM_STOP);
        standin::RemoveModule(m);
    }
    // READ in an output script is refused at the start with its line.
    ModuleRecord* out = Create(CLASS_OUT, 30);
    SetScript(out, 0, "SEND \"READ?\"\r\nREAD\r\n");
    standin::ClearRecords();
    EXPECT_EQ(standin::SendToModule(out, MM_START), 0);
    char caption[64], text[96];
    snprintf(caption, sizeof caption, CAPTION_OUT_SCRIPT, 0);
    snprintf(text, sizeof text, CMD_TEXT_READ_IN_OUTPUT, 2);
    ASSERT_EQ(standin::Warnings().size(), 1u) << standin::WarningsAsUtf8();
    EXPECT_EQ(standin::Warnings()[0].caption, caption);
    EXPECT_EQ(standin::Warnings()[0].text, text);
    standin::SendToModule(out, MM_STOP);
    standin::RemoveModule(out);

    // A GPIB-IN module without outputs parses nothing and needs no buffers.
    ModuleRecord* none = CreateIn();
    none->outputCount = 0;
    SetScript(none, 0, "BOGUS");
    EXPECT_EQ(standin::SendToModule(none, MM_START), 1);
    EXPECT_EQ(standin::SendToModule(none, MM_STOP), 1);
}

}  // namespace
