#include <windows.h>
#include "tavkx/gpibapi.h"
extern "C" short WINAPI GpibInit(int, int) { return 0; }
