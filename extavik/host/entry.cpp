// Entry points of EXTAVIK: binding of the host names, the variables offered to the host, the
// maker's menu, registration of the module classes and of the channel-bar window classes.
#include <string.h>
#include "extavik/host/entry.h"
#include "extavik/ui/controls.h"
#include "extavik/module/gpibboard.h"
#include "extavik/module/gpibin.h"
#include "extavik/module/gpibout.h"
#include "extavik/ui/resources/resource.h"

HINSTANCE g_instance;
HWND g_hostWindow;
uintptr_t g_hostValues[HOST_NAME_COUNT];
HFONT g_dialogFont;

#define DLL_VARIABLE_DEFINE(name, type, size) type name;
DLL_VARIABLE_LIST(DLL_VARIABLE_DEFINE)
#undef DLL_VARIABLE_DEFINE

namespace {

struct DllVariable {
    const char* name;
    void* address;
    int size;
};

#define DLL_VARIABLE_ROW(name, type, size) {#name, &name, size},
const DllVariable DLL_VARIABLES[] = {DLL_VARIABLE_LIST(DLL_VARIABLE_ROW)};
#undef DLL_VARIABLE_ROW

// What the host keeps of one registered type: the names stay alive for the life of the
// library, because the registration record points to them.
struct Registration {
    char displayName[DISPLAY_NAME_SIZE];
    char longName[LONG_NAME_SIZE];
    ModuleClassRecord record;
};

Registration s_inRegistration, s_outRegistration;

int BindHostNames()
{
    for (int i = 0; i < HOST_NAME_COUNT; i++) {
        const HostNameEntry& entry = HOST_NAMES[i];
        g_hostValues[i] = (uintptr_t)SendMessageA(g_hostWindow, entry.kind, 0, (LPARAM)entry.name);
        if (!g_hostValues[i] && !entry.optional) return 0;
    }
    return 1;
}

int DefineVariables()
{
    if (!HOST_CALL(DefineDllModule)()) return 0;
    for (const DllVariable& v : DLL_VARIABLES)
        if (!HOST_CALL(DefineDllVariable)(v.name, v.address, v.size)) return 0;
    return 1;
}

int WINAPI SetupMenuHandler(void)
{
    return MessageBoxA(nullptr, SETUP_BOX_TEXT, SETUP_BOX_CAPTION, MB_OK);
}

void InsertMakerMenu()
{
    HMENU menu = LoadMenuA(g_instance, KORVA_MENU_RESOURCE);
    HMENU popup = GetSubMenu(menu, 0);
    HMENU bar = reinterpret_cast<HMENU>(g_hostValues[HN_MainMenu]);
    InsertMenuA(bar, KORVA_MENU_POSITION, MF_BYPOSITION | MF_POPUP, (UINT_PTR)popup, KORVA_MENU_LABEL);
    HOST_CALL(RegisterMenuEntry)(IDM_SETUP, SetupMenuHandler);
}

void RegisterModuleType(const GpibModuleType& type, Registration& kept)
{
    LoadStringA(g_instance, type.displayNameId, kept.displayName, sizeof kept.displayName);
    LoadStringA(g_instance, type.longNameId, kept.longName, sizeof kept.longName);
    ModuleClassRecord& r = kept.record;
    memset(&r, 0, sizeof r);
    r.instance = g_instance;
    r.className = type.className;
    r.paramsSize = sizeof(GpibModuleParams);
    r.runtimeSize = sizeof(GpibModuleRuntime);
    r.channelStateSize = sizeof(GpibChannelRuntime);
    r.commandId = type.menuCommandId;
    r.displayName = kept.displayName;
    r.longName = kept.longName;
    r.iconBitmap = LoadBitmapA(g_instance, type.iconBitmap);
    r.symbolBitmap = LoadBitmapA(g_instance, type.symbolBitmap);
    r.moduleProc = type.moduleProc;
    r.processProc = type.processProc;
    HOST_CALL(RegisterModuleClass)(&r);
}

void RegisterModuleClasses()
{
    // The board binding is the first step of the GPIB-IN registration; it has shown its
    // message when it fails.
    if (!BindBoardLibrary()) return;
    RegisterModuleType(GPIB_IN_TYPE, s_inRegistration);
    if (g_boardReady) RegisterModuleType(GPIB_OUT_TYPE, s_outRegistration);
}

void RegisterButtonClass(const char* name, UINT style, WNDPROC proc)
{
    WNDCLASSA wc = {};
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = CHANNEL_BUTTON_WINDOW_EXTRA;
    wc.hInstance = g_instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

}  // namespace

uint32_t CurrentTick() { return GetTickCount(); }

void ShowVersionBox(HWND owner)
{
    MessageBoxA(owner, VERSION_BOX_TEXT, VERSION_BOX_CAPTION, MB_OK | MB_ICONINFORMATION);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
    return TRUE;
}

extern "C" int WINAPI SetupVrelDLL(HWND hostWindow)
{
    g_hostWindow = hostWindow;
    if (!BindHostNames()) return 0;
    if (!DefineVariables()) return 0;
    InsertMakerMenu();
    RegisterModuleClasses();
    RegisterButtonClass(CLASS_CHANNEL_BUTTON, CS_DBLCLKS, ChannelButtonProc);
    RegisterButtonClass(CLASS_LESSMORE_BUTTON, 0, LessMoreButtonProc);
    return 1;
}

extern "C" int WINAPI FinishVrelDLL(int)
{
    UnregisterClassA(CLASS_CHANNEL_BUTTON, g_instance);
    UnregisterClassA(CLASS_LESSMORE_BUTTON, g_instance);
    if (g_dialogFont) {
        HOST_CALL(DeleteStackedObject)(g_dialogFont);
        g_dialogFont = nullptr;   // a second finish must not release it again
    }
    return 1;
}

extern "C" int WINAPI WEP(int) { return 1; }
