// Board binding: TavkX.dll loaded by name, its Gpib* functions resolved, the bus initialised.
#pragma once
#include "extavik/host/plugin.h"
#include "interfaces/gpibapi.h"

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

extern HMODULE g_tavkx;
extern bool g_boardReady;
extern GpibBoard g_board;   // valid while g_boardReady

// Loads TavkX.dll again, resets the bus settings rows, resolves the functions and initialises
// the bus; true when all of it succeeded, else false after a warning.
bool BindBoardLibrary();
