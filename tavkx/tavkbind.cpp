// Binding of the board driver: loaded and its board opened when a process attaches TavkX, the board
// closed and the driver released when it detaches.
#include <windows.h>
#include "tavkx/tavkdriver.h"

TavkDriver g_driver;
uint16_t g_boardHandle = 0xFFFF;

static HMODULE s_driverLibrary;
static bool s_boardOpen;

struct TavkEntrySlot {
    const char* name;
    FARPROC* slot;
};

// Resolution order of the entry points; the first missing one ends the binding.
static const TavkEntrySlot entrySlots[] = {
#define TAVK_ENTRY_ROW(name) {#name, reinterpret_cast<FARPROC*>(&g_driver.name)},
    TAVK_ENTRY_LIST(TAVK_ENTRY_ROW)
#undef TAVK_ENTRY_ROW
};
static_assert(sizeof entrySlots / sizeof entrySlots[0] == 29, "tavk.dll offers 29 entry points");

int32_t TavkLastError(void)
{
    if (!s_driverLibrary) return -1;
    return g_driver.TavkGetLastError(g_boardHandle);
}

// The handle is forgotten only when FreeLibrary really released the driver, so a failed release
// leaves it for the detach to try again instead of losing the library.
static void TavkReleaseDriver(void)
{
    if (s_driverLibrary && FreeLibrary(s_driverLibrary) == 1) s_driverLibrary = nullptr;
}

static bool TavkResolveEntries(void)
{
    for (const TavkEntrySlot& e : entrySlots) {
        *e.slot = GetProcAddress(s_driverLibrary, e.name);
        if (!*e.slot) return false;
    }
    return true;
}

static BOOL TavkAttach(void)
{
    s_driverLibrary = LoadLibraryA("tavk.dll");
    if (!s_driverLibrary) return FALSE;
    if (!TavkResolveEntries()) {
        TavkReleaseDriver();
        return FALSE;
    }
    g_boardHandle = 0xFFFF;
    if (!TavkNonzero(g_driver.TavkCreate(&g_boardHandle))) {
        TavkReleaseDriver();
        return FALSE;
    }
    s_boardOpen = true;
    return TRUE;
}

// The loader also sends a detach after an attach that failed: the driver is then either gone or
// only partly resolved, and the board was never opened. So only an open board is closed.
static void TavkDetach(void)
{
    if (s_boardOpen) g_driver.TavkClose(g_boardHandle);
    s_boardOpen = false;
    TavkReleaseDriver();
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH: return TavkAttach();
    case DLL_PROCESS_DETACH: TavkDetach(); return TRUE;
    default: return TRUE;
    }
}
