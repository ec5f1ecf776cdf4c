// Board binding, the bus tables shared by all modules with the same own address, the sample
// rings and the receive buffer.
#pragma once
#include "extavik/plugin.h"
#include "tavkx/gpibapi.h"

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

// Shared bus tables, one row per own address.
extern int32_t SharedInputMode[GPIB_BUS_ROWS][GPIB_CHANNELS];
extern int16_t SharedPPollLine[GPIB_BUS_ROWS][GPIB_CHANNELS];
extern int16_t SharedPPollSense[GPIB_BUS_ROWS][GPIB_CHANNELS];
extern int32_t SharedTimeout[GPIB_BUS_ROWS];
extern double SharedRequestRate[GPIB_BUS_ROWS][GPIB_CHANNELS];
extern uint8_t DeviceState[GPIB_BUS_ROWS][GPIB_BUS_DEVICES];
extern uint32_t RequestTick[GPIB_BUS_ROWS][GPIB_BUS_DEVICES];

void ResetSharedSettings();
int32_t PublishSharedSettings(GpibModuleParams* params);
int32_t TakeSharedSettings(GpibModuleParams* params);
void MarkRowIdle(ModuleRecord* module);
int32_t AllocChannelBuffers(ModuleRecord* module);
void FreeChannelBuffers(ModuleRecord* module);
