#include "extavik/plugin.h"

HINSTANCE g_hInstance;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) g_hInstance = instance;
    return TRUE;
}

extern "C" int WINAPI SetupVrelDLL(HWND) { return 1; }
extern "C" int WINAPI FinishVrelDLL(int) { return 1; }
extern "C" int WINAPI WEP(int) { return 1; }
