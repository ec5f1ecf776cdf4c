// Plug-in-wide state of EXTAVIK: its instance, the host window, the bound host names and the
// variables the host keeps current. Set up once by SetupVrelDLL.
#pragma once
#include "extavik/host/hostservices.h"

extern HINSTANCE g_instance;      // from the library entry point
extern HWND g_hostWindow;         // argument of SetupVrelDLL
extern uintptr_t g_hostValues[HOST_NAME_COUNT];   // results of the 162 lookups

// The seven defined variables; the host writes them through their addresses.
#define DLL_VARIABLE_DECLARE(name, type, size) extern type name;
DLL_VARIABLE_LIST(DLL_VARIABLE_DECLARE)
#undef DLL_VARIABLE_DECLARE

// A bound host service or variable, typed.
template <typename Fn> inline Fn HostService(HostNameIndex index) {
    return reinterpret_cast<Fn>(g_hostValues[index]);
}

#define HOST_CALL(name) HostService<name##Fn>(HN_##name)
// Usage: HOST_CALL(ShowWarning)(caption, text);

// Source unit names passed to the host's memory and block services, fixed whatever file the
// call is in, because the host's heap records are read by these names: the settings dialogs'
// working copies book under gpibin and gpibout, the sub-dialogs' under gpibdlog, the channel
// buffers under gpibModule, READ and the output runs under gpibcmd.
#define UNIT_GPIBIN "gpibin"
#define UNIT_GPIBOUT "gpibout"
#define UNIT_GPIBDLOG "gpibdlog"
#define UNIT_GPIBCMD "gpibcmd"
#define UNIT_GPIBMODULE "gpibModule"

// The tick counter, read through this one seam (the import of GetTickCount).
uint32_t CurrentTick();

// Normal-weight font of the settings dialogs, made by the first one; released at finish.
extern HFONT g_dialogFont;

// Shows the version box that the help buttons open.
void ShowVersionBox(HWND owner);
