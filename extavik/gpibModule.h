// Board binding, the channel buffers of a GPIB-IN run and what the two module procedures
// share; the bus rows live in gpibbus.
#pragma once
#include "extavik/plugin.h"
#include "interfaces/gpibapi.h"
#include "extavik/gpibbus.h"

#define TAVKX_FILE_NAME "TavkX.dll"

// The 14 Gpib* functions the plug-in resolves, in lookup order.
#define GPIB_BOUND_LIST(X) \
    X(GpibInit) X(GpibSetTime) X(GpibSPollN) X(GpibIfc) X(GpibRen) X(GpibSendCmd) X(GpibSend) \
    X(GpibRecv) X(GpibSPoll) X(GpibPPoll) X(GpibPPollConfig) X(GpibPPollUConfig) \
    X(GpibPPollUConfigAll) X(GpibChkSrq)

struct GpibBoard {
#define GPIB_BOUND_FIELD(name) name##Fn name;
    GPIB_BOUND_LIST(GPIB_BOUND_FIELD)
#undef GPIB_BOUND_FIELD
};

extern HMODULE hTavkX;
extern int bBoardReady;
extern GpibBoard g_board;   // valid while bBoardReady is 1

int BindBoardLibrary();

int32_t AllocChannelBuffers(ModuleRecord* module);
void FreeChannelBuffers(ModuleRecord* module);

// A channel count from a module record or a stored block, clamped to 0..16.
inline int ClampChannelCount(int32_t count)
{
    return count < 0 ? 0 : count > GPIB_CHANNELS ? GPIB_CHANNELS : count;
}
// Ring size in entries for a receive buffer of kb kilobytes (4..16384; outside values clamped).
uint32_t RingEntriesForKB(uint32_t kb);
// Bytes of the module's transferBuffer while it is allocated, 0 when there is none.
uint32_t TransferBufferBytes(ModuleRecord* module);

// ---- what the GPIB-IN and GPIB-OUT module procedures share ----

// One row of a module procedure's message table.
struct ModuleMessageHandler {
    uint32_t message;
    int32_t (*handle)(ModuleRecord* module, int32_t wParam, intptr_t lParam);
};
// Runs the row for message, or passes the message on to the host's PerformDefaultAction.
int32_t DispatchModuleMessage(const ModuleMessageHandler* table, size_t rows, ModuleRecord* module,
                              uint32_t message, int32_t wParam, intptr_t lParam);
int32_t AnswerOne(ModuleRecord* module, int32_t wParam, intptr_t lParam);
int32_t AnswerZero(ModuleRecord* module, int32_t wParam, intptr_t lParam);
int32_t TakeBusSettings(ModuleRecord* module, int32_t wParam, intptr_t lParam);
// Message 201: 1 when the output's record has nothing pending, or when there is no such record.
int32_t QueryOutputChannel(ModuleRecord* module, int32_t wParam, intptr_t lParam);

// Writes the per-channel creation defaults of all 16 channels, named "<display name> <ch>".
void WriteChannelDefaults(GpibModuleParams* p, unsigned displayNameId, const char* script);
// 1 when channel ch is named by mask (0 names every channel).
inline bool MaskSelects(int32_t mask, int ch) { return mask == 0 || (mask >> ch & 1); }
// Clears all 16 flags, then sets those of the masked channels below count (0 counts as 16).
void MarkActionChannels(int32_t* flags, int count, int32_t mask);
// The action kind in the first word at lParam; -1 when the host passed no record.
int32_t ActionKind(intptr_t lParam);
// Fills the description of the module type's host action.
void DescribeAction(ActionDescription* desc, const char* name, int32_t textId);

// Refuses an experiment start whose own address, channel addresses (below count) or, with
// checkBuffers, receive buffer sizes or request intervals lie outside the start ranges of the
// field table (gpibfields.h); shows which one and returns 0.
int CheckStartSettings(ModuleRecord* module, int count, bool checkBuffers);
// Clears the run state of channel ch before its script is parsed again.
void ResetChannelRun(GpibChannelRuntime* rt);
