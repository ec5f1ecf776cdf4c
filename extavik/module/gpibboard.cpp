// Board binding: TavkX.dll, its Gpib* functions and the bus initialisation.
#include "extavik/module/gpibboard.h"
#include <stdio.h>
#include <string.h>
#include "extavik/module/gpibbus.h"
#include "extavik/texts/modtexts.h"

HMODULE g_tavkx;
bool g_boardReady;
GpibBoard g_board;

static char s_boardMessage[BOARD_MESSAGE_SIZE];

// Resolves every name, even after a miss; 1 when all were found.
static bool ResolveBoardFunctions()
{
    bool complete = true;
#define GPIB_RESOLVE(name) \
    g_board.name = reinterpret_cast<name##Fn>(reinterpret_cast<void*>(GetProcAddress(g_tavkx, #name))); \
    if (!g_board.name) complete = false;
    GPIB_BOUND_LIST(GPIB_RESOLVE)
#undef GPIB_RESOLVE
    return complete;
}

bool BindBoardLibrary()
{
    g_boardReady = false;
    if (g_tavkx) {
        FreeLibrary(g_tavkx);
        g_tavkx = nullptr;
    }
    memset(&g_board, 0, sizeof g_board);

    g_tavkx = LoadLibraryA(TAVKX_FILE_NAME);
    if ((uintptr_t)g_tavkx < 32) {
        snprintf(s_boardMessage, sizeof s_boardMessage, BOARD_TEXT_MISSING, TAVKX_FILE_NAME,
                 (int)(intptr_t)g_tavkx);
        g_tavkx = nullptr;
        HOST_CALL(ShowWarning)(BOARD_TITLE_MISSING, s_boardMessage);
        return false;
    }

    ResetBusSettings();
    if (!ResolveBoardFunctions()) {
        snprintf(s_boardMessage, sizeof s_boardMessage, BOARD_TEXT_BROKEN, TAVKX_FILE_NAME);
        HOST_CALL(ShowWarning)(BOARD_TITLE_BROKEN, s_boardMessage);
        return false;
    }

    // Address 30, mode 1: the interface is cleared after the init.
    if (g_board.GpibInit(30, 1) != GPIB_OK) {
        HOST_CALL(ShowWarning)(BOARD_TITLE_INIT, BOARD_TEXT_INIT);
        return false;
    }
    g_boardReady = true;
    return true;
}
