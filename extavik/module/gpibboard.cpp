// Board binding: TavkX.dll, its Gpib* functions and the bus initialisation.
#include "extavik/module/gpibboard.h"
#include <stdio.h>
#include <string.h>
#include "extavik/module/gpibbus.h"
#include "extavik/texts/modtexts.h"

HMODULE hTavkX;
int bBoardReady;
GpibBoard g_board;

static char boardMessage[BOARD_MESSAGE_SIZE];

// Resolves every name, even after a miss; 1 when all were found.
static bool ResolveBoardFunctions()
{
    bool complete = true;
#define GPIB_RESOLVE(name) \
    g_board.name = reinterpret_cast<name##Fn>(reinterpret_cast<void*>(GetProcAddress(hTavkX, #name))); \
    if (!g_board.name) complete = false;
    GPIB_BOUND_LIST(GPIB_RESOLVE)
#undef GPIB_RESOLVE
    return complete;
}

bool BindBoardLibrary()
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
        return false;
    }

    ResetSharedSettings();
    if (!ResolveBoardFunctions()) {
        snprintf(boardMessage, sizeof boardMessage, BOARD_TEXT_BROKEN, TAVKX_FILE_NAME);
        HOST_CALL(ShowWarning)(BOARD_TITLE_BROKEN, boardMessage);
        return false;
    }

    // Address 30, mode 1: the interface is cleared after the init.
    if (g_board.GpibInit(30, 1) != GPIB_OK) {
        HOST_CALL(ShowWarning)(BOARD_TITLE_INIT, BOARD_TEXT_INIT);
        return false;
    }
    bBoardReady = 1;
    return true;
}
