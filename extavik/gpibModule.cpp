// Board binding, shared bus tables and channel buffers. (stub: being built)
#include "extavik/gpibModule.h"

HMODULE hTavkX;
int bBoardReady;
GpibBoard g_board;

int BindBoardLibrary() { return 0; }
