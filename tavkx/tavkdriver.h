// The board driver tavk.dll as TavkX sees it: one pointer per entry point, the open board and the
// guarded error read. Filled by the process attach of the library.
#pragma once
#include "interfaces/tavkdrv.h"

struct TavkDriver {
#define TAVK_DRIVER_SLOT(name) decltype(&::name) name;
    TAVK_ENTRY_LIST(TAVK_DRIVER_SLOT)
#undef TAVK_DRIVER_SLOT
};

extern TavkDriver g_driver;
extern uint16_t g_boardHandle;

// The driver's last error number, read directly after a failed operation; -1 when no driver is loaded.
int32_t TavkLastError(void);

// Driver results that count as success: exactly 1 for most operations, any nonzero value for a few.
inline bool TavkOk(int32_t result) { return result == 1; }
inline bool TavkNonzero(int32_t result) { return result != 0; }
