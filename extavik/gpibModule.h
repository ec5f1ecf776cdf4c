// What the GPIB-IN and GPIB-OUT module procedures share. The board binding lives in gpibboard,
// the channel buffers in gpibbuffers, the bus rows in gpibbus.
#pragma once
#include "extavik/plugin.h"

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
