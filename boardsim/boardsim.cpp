#include <windows.h>
#include "boardsim/tavkdrv.h"
extern "C" int32_t WINAPI TavkGetLastError(uint32_t) { return 0; }
