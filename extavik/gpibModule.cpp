// Board binding, the channel buffers a GPIB-IN module takes from the host heap for one
// experiment run, and what the two module procedures share.
#include "extavik/gpibModule.h"
#include <stdio.h>
#include <string.h>
#include "extavik/gpibfields.h"
#include "extavik/modtexts.h"

HMODULE hTavkX;
int bBoardReady;
GpibBoard g_board;

// ---- board binding ----

static char boardMessage[BOARD_MESSAGE_SIZE];

// Resolves every name, even after a miss; 1 when all were found.
static int ResolveBoardFunctions()
{
    int complete = 1;
#define GPIB_RESOLVE(name) \
    g_board.name = reinterpret_cast<name##Fn>(reinterpret_cast<void*>(GetProcAddress(hTavkX, #name))); \
    if (!g_board.name) complete = 0;
    GPIB_BOUND_LIST(GPIB_RESOLVE)
#undef GPIB_RESOLVE
    return complete;
}

int BindBoardLibrary()
{
    bBoardReady = 0;
    if (hTavkX) {
        FreeLibrary(hTavkX);
        hTavkX = nullptr;
    }
    memset(&g_board, 0, sizeof g_board);

    hTavkX = LoadLibraryA(TAVKX_FILE_NAME);
    if ((uintptr_t)hTavkX < 32) {
        snprintf(boardMessage, sizeof boardMessage, BOARD_TEXT_MISSING, TAVKX_FILE_NAME,
                 (int)(intptr_t)hTavkX);
        hTavkX = nullptr;
        HOST_CALL(ShowWarning)(BOARD_TITLE_MISSING, boardMessage);
        return 0;
    }

    ResetSharedSettings();
    if (!ResolveBoardFunctions()) {
        snprintf(boardMessage, sizeof boardMessage, BOARD_TEXT_BROKEN, TAVKX_FILE_NAME);
        HOST_CALL(ShowWarning)(BOARD_TITLE_BROKEN, boardMessage);
        return 0;
    }

    // Address 30, mode 1: the interface is cleared after the init.
    if (g_board.GpibInit(30, 1) != GPIB_OK) {
        HOST_CALL(ShowWarning)(BOARD_TITLE_INIT, BOARD_TEXT_INIT);
        return 0;
    }
    bBoardReady = 1;
    return 1;
}

// ---- channel buffers ----

uint32_t RingEntriesForKB(uint32_t kb)
{
    if (kb < RECV_BUFFER_KB_MIN)
        kb = RECV_BUFFER_KB_MIN;
    if (kb > RECV_BUFFER_KB_MAX)
        kb = RECV_BUFFER_KB_MAX;
    return kb * 1024 / 4 + 1;
}

uint32_t TransferBufferBytes(ModuleRecord* module)
{
    if (!module || !module->runtime || !module->runtime->transferBuffer)
        return 0;
    uint32_t largest = 0;
    const int count = ClampChannelCount(module->outputCount);
    for (int c = 0; c < count; c++) {
        const GpibChannelRuntime* rt = module->channel[c];
        if (rt && rt->ring && rt->ringCapacity > largest)
            largest = rt->ringCapacity;
    }
    return largest * 4;
}

// Gives a host-heap block back and clears its pointer; nothing when there is none.
static void ReleaseBlock(void** block, int line)
{
    if (*block) {
        HOST_CALL(NewDoMemFree)(*block, UNIT_GPIBMODULE, line);
        *block = nullptr;
    }
}

int32_t AllocChannelBuffers(ModuleRecord* module)
{
    const GpibModuleParams* p = module->params;
    const int count = ClampChannelCount(module->outputCount);
    uint32_t largest = 0;
    for (int c = 0; c < count; c++) {
        GpibChannelRuntime* rt = module->channel[c];
        if (!rt)
            continue;
        rt->ringRead = 0;
        rt->ringWrite = 0;
        ReleaseBlock((void**)&rt->ring, __LINE__);   // a start without a stop left one
        rt->ringCapacity = RingEntriesForKB(p->recvBufferKB[c]);
        rt->ring = static_cast<float*>(
            HOST_CALL(NewMemAlloc)(rt->ringCapacity * 4, UNIT_GPIBMODULE, __LINE__));
        if (!rt->ring)
            return 0;   // what was obtained stays for FreeChannelBuffers
        if (rt->ringCapacity > largest)
            largest = rt->ringCapacity;
    }
    ReleaseBlock((void**)&module->runtime->transferBuffer, __LINE__);
    if (largest) {
        module->runtime->transferBuffer = static_cast<uint8_t*>(
            HOST_CALL(NewMemAlloc)(largest * 4, UNIT_GPIBMODULE, __LINE__));
        if (!module->runtime->transferBuffer)
            return 0;
    }
    return 1;
}

void FreeChannelBuffers(ModuleRecord* module)
{
    const int count = ClampChannelCount(module->outputCount);
    for (int c = 0; c < count; c++) {
        GpibChannelRuntime* rt = module->channel[c];
        if (rt)
            ReleaseBlock((void**)&rt->ring, __LINE__);
    }
    if (module->runtime)
        ReleaseBlock((void**)&module->runtime->transferBuffer, __LINE__);
}

// ---- what the GPIB-IN and GPIB-OUT module procedures share ----

int32_t DispatchModuleMessage(const ModuleMessageHandler* table, size_t rows, ModuleRecord* module,
                              uint32_t message, int32_t wParam, intptr_t lParam)
{
    for (size_t i = 0; i < rows; i++)
        if (table[i].message == message)
            return table[i].handle(module, wParam, lParam);
    return HOST_CALL(PerformDefaultAction)(module, message, wParam, lParam);
}

int32_t AnswerOne(ModuleRecord*, int32_t, intptr_t) { return 1; }
int32_t AnswerZero(ModuleRecord*, int32_t, intptr_t) { return 0; }

int32_t TakeBusSettings(ModuleRecord* module, int32_t, intptr_t)
{
    return TakeSharedSettings(module->params);
}

int32_t QueryOutputChannel(ModuleRecord* module, int32_t wParam, intptr_t)
{
    // A GPIB-OUT module has no outputs; a number the module does not have asks for nothing.
    if (wParam < 0 || wParam >= ClampChannelCount(module->outputCount))
        return 1;
    const OutputChannelHeader* out = static_cast<OutputChannelHeader*>(module->outputChannel[wParam]);
    if (!out)
        return 1;
    return out->pending == 0 ? 1 : 0;
}

void WriteChannelDefaults(GpibModuleParams* p, unsigned displayNameId, const char* script)
{
    char displayName[13] = "";
    LoadStringA(g_hInstance, displayNameId, displayName, sizeof displayName);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++) {
        snprintf(p->channelName[ch], GPIB_CHANNEL_NAME_SIZE, "%s %d", displayName, ch);
        memset(p->commandText[ch], 0, GPIB_COMMAND_TEXT_SIZE);
        strcpy(p->commandText[ch], script);
        p->addr[ch].primaryAddress = DEFAULT_PRIMARY_ADDRESS;
        p->addr[ch].secondaryAddress = 0;
        p->spollReadyBit[ch] = 0;
        p->spollErrorBit[ch] = 0;
        p->spollStopOnError[ch] = 0;
        memset(p->spollErrorText[ch], 0, GPIB_SPOLL_TEXT_SIZE);
        p->headerSize[ch] = 0;
        p->recvBlockLength[ch] = DEFAULT_BLOCK_LENGTH;
        p->dataType[ch] = DATA_ASCII;
        p->invalid[ch].invalidHead = 0;
        p->invalid[ch].invalidTail = 0;
        p->terminator[ch] = TERM_CRLF;
        memset(p->maskText[ch], 0, GPIB_MASK_TEXT_SIZE);
        p->recvBufferKB[ch] = DEFAULT_BUFFER_KB;
        p->requestInterval[ch] = DEFAULT_REQUEST_INTERVAL;
        p->stopOnTimeout[ch] = 0;
    }
}

void MarkActionChannels(int32_t* flags, int count, int32_t mask)
{
    const int n = count == 0 ? GPIB_CHANNELS : ClampChannelCount(count);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        flags[ch] = ch < n && MaskSelects(mask, ch) ? 1 : 0;
}

int32_t ActionKind(intptr_t lParam)
{
    return lParam ? *reinterpret_cast<const int32_t*>(lParam) : -1;
}

void DescribeAction(ActionDescription* desc, const char* name, int32_t textId)
{
    desc->instance = g_hInstance;
    memcpy(desc->actionName, name, strlen(name) + 1);   // the bytes after the zero stay
    desc->reserved = 0;
    desc->textId = textId;
}

static void RefuseStart(const char* text)
{
    HOST_CALL(ShowWarning)(START_TITLE, text);
}

// 1 when the field table's start range refuses channel ch's value (GPIB-IN only where so marked).
static bool StartRefuses(const GpibModuleParams* p, GpibFieldId id, int ch, bool input)
{
    const GpibField& f = GPIB_FIELDS[id];
    if (f.start.inputOnly && !input)
        return false;
    return !GpibStartAccepts(f, GpibFieldNumber(p, f, ch));
}

int CheckStartSettings(ModuleRecord* module, int count, bool checkBuffers)
{
    const GpibModuleParams* p = module->params;
    char name[sizeof module->moduleName + 1];
    memcpy(name, module->moduleName, sizeof module->moduleName);
    name[sizeof module->moduleName] = 0;
    char text[START_MESSAGE_SIZE];

    if (StartRefuses(p, GF_MY_ADDRESS, 0, checkBuffers)) {
        snprintf(text, sizeof text, START_TEXT_OWN_ADDRESS, name, p->myAddress);
        RefuseStart(text);
        return 0;
    }
    for (int ch = 0; ch < count; ch++) {
        if (StartRefuses(p, GF_PRIMARY_ADDRESS, ch, checkBuffers)) {
            snprintf(text, sizeof text, START_TEXT_PRIMARY, name, ch, p->addr[ch].primaryAddress);
            RefuseStart(text);
            return 0;
        }
        if (StartRefuses(p, GF_RECV_BUFFER_KB, ch, checkBuffers)) {
            snprintf(text, sizeof text, START_TEXT_BUFFER, name, ch, p->recvBufferKB[ch]);
            RefuseStart(text);
            return 0;
        }
        // The interval paces the bus: NaN, zero, negative or huge values would mean a request
        // on every cycle or never one.
        if (StartRefuses(p, GF_REQUEST_INTERVAL, ch, checkBuffers)) {
            char value[32];
            snprintf(value, sizeof value, "%g", p->requestInterval[ch]);
            snprintf(text, sizeof text, START_TEXT_INTERVAL, name, ch, value);
            RefuseStart(text);
            return 0;
        }
    }
    return 1;
}

void ResetChannelRun(GpibChannelRuntime* rt)
{
    rt->requestCount = 0;
    rt->scriptPos = 0;
    rt->requestTickValid = 0;
    rt->dataReady = 0;
    rt->reserved32 = 0;
    rt->waitStart = 0;
    rt->lastRequestTick = 0;
    rt->tickWraps = 0;
    memset(rt->commands, 0, sizeof rt->commands);
}
