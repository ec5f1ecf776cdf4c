// The stand-in host's main window: answers the name lookups, keeps the defined variables current,
// records the plain service calls, loads and calls the plug-in.
#include <string.h>
#include <utility>
#include "host/hostinternal.h"

namespace standin {

HostState g_host;

namespace {

const char MAIN_CLASS[] = "StandinHostMain";
const char MAIN_TITLE[] = "Stand-in host";

// Storage behind the "&..." variables and the texts the host offers by address.
struct VariableStorage {
    uint8_t slot[HOST_NAME_COUNT][256];
    char decimalSeparator[2] = {'.', 0};
    char timeSeparator[2] = {':', 0};
    char dateSeparator[2] = {'/', 0};
    char text[32] = "C:\\standin";
    int32_t one = 1;
};
VariableStorage g_vars;

bool IsAddressName(const char* name) { return name[0] == '&'; }

int FindName(unsigned kind, const char* name)
{
    for (int i = 0; i < HOST_NAME_COUNT; i++)
        if (HOST_NAMES[i].kind == kind && strcmp(HOST_NAMES[i].name, name) == 0) return i;
    return -1;
}

LRESULT AnswerLookup(unsigned kind, LPARAM lParam)
{
    const char* name = reinterpret_cast<const char*>(lParam);
    if (!name) {
        HostError("lookup without a name");
        return 0;
    }
    uintptr_t answer = g_host.zeroNames.count(name) ? 0 : AnswerFor(kind, name);
    g_host.lookups.push_back({kind, name, answer});
    return static_cast<LRESULT>(answer);
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case HOST_LOOKUP_VARIABLE: return AnswerLookup(HOST_LOOKUP_VARIABLE, lParam);
    case HOST_LOOKUP_SERVICE: return AnswerLookup(HOST_LOOKUP_SERVICE, lParam);
    case WM_CLOSE: return 0;   // the host's window lives until Shutdown
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A menu bar like the host's: five popups, so that position 3 lies inside it.
HMENU CreateHostMenu()
{
    static const char* const POPUPS[] = {"&File", "&Edit", "&Worksheet", "&Run", "&Help"};
    HMENU bar = CreateMenu();
    int id = 100;
    for (const char* label : POPUPS) {
        HMENU popup = CreatePopupMenu();
        AppendMenuA(popup, MF_STRING, id++, "Item");
        AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), label);
    }
    return bar;
}

typedef int (WINAPI *SetupFn)(HWND);
typedef int (WINAPI *IntArgFn)(int);

}  // namespace

void HostError(const std::string& text) { g_host.hostErrors.push_back(text); }

// ---- lifecycle ----

bool Start()
{
    if (g_host.started) return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = MAIN_CLASS;
    RegisterClassA(&wc);   // may exist from an earlier Start
    g_host.menu = CreateHostMenu();
    g_host.window = CreateWindowExA(0, MAIN_CLASS, MAIN_TITLE, WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                    nullptr, g_host.menu, wc.hInstance, nullptr);
    if (!g_host.window) return false;
    memset(g_vars.slot, 0, sizeof g_vars.slot);
    CreateHostBitmaps();
    ResetTicks();
    g_host.started = true;
    return true;
}

void Shutdown()
{
    if (!g_host.started) return;
    RemoveAllModules();
    if (g_host.plugin) UnloadPlugin();
    DestroyWindow(g_host.window);   // destroys the menu bar with it
    DestroyHostBitmaps();
    for (const FontRecord& f : g_host.fonts) DeleteObject(f.handle);
    ResetHeap();
    g_host = HostState();
}

bool IsStarted() { return g_host.started; }
HWND MainWindow() { return g_host.window; }
HMENU MainMenu() { return g_host.menu; }
HBITMAP ChannelBitmap(int state) { return state >= 0 && state < 4 ? ChannelBitmapArray()[state] : nullptr; }
HBITMAP LessMoreBitmap(int state) { return state >= 0 && state < 6 ? LessMoreBitmapArray()[state] : nullptr; }
const char* DecimalSeparator() { return g_vars.decimalSeparator; }
void SetDecimalSeparator(char c) { g_vars.decimalSeparator[0] = c; }

// ---- the plug-in ----

HMODULE LoadPlugin(const char* path)
{
    g_host.plugin = LoadLibraryA(path);
    return g_host.plugin;
}

HMODULE PluginModule() { return g_host.plugin; }

int SetupPlugin()
{
    SetupFn setup = reinterpret_cast<SetupFn>(reinterpret_cast<void*>(GetProcAddress(g_host.plugin, "SetupVrelDLL")));
    return setup ? setup(g_host.window) : -1;
}

static int CallIntExport(const char* name)
{
    IntArgFn fn = reinterpret_cast<IntArgFn>(reinterpret_cast<void*>(GetProcAddress(g_host.plugin, name)));
    return fn ? fn(0) : -1;
}

int FinishPlugin() { return CallIntExport("FinishVrelDLL"); }
int CallWEP() { return CallIntExport("WEP"); }

void UnloadPlugin()
{
    if (!g_host.plugin) return;
    RemoveAllModules();
    FreeLibrary(g_host.plugin);
    g_host.plugin = nullptr;
    g_host.variables.clear();   // the addresses died with the library
    g_host.classes.clear();
    g_host.menuEntries.clear();
}

// ---- lookups ----

const std::vector<LookupRecord>& Lookups() { return g_host.lookups; }
void ClearLookups() { g_host.lookups.clear(); }
void AnswerZeroFor(const char* name) { g_host.zeroNames.insert(name); }
void RefuseVariable(const char* name) { g_host.refusedVariables.insert(name); }
void RefuseDefineDllModule(bool refuse) { g_host.refuseModule = refuse; }

void ClearRefusals()
{
    g_host.zeroNames.clear();
    g_host.refusedVariables.clear();
    g_host.refuseModule = false;
}

uintptr_t AnswerFor(unsigned kind, const char* name)
{
    int index = FindName(kind, name);
    if (index < 0) return 0;
    HostNameIndex i = static_cast<HostNameIndex>(index);
    return kind == HOST_LOOKUP_SERVICE ? ServiceAddress(i) : VariableValue(i);
}

uintptr_t VariableValue(HostNameIndex index)
{
    switch (index) {
    case HN_MainMenu: return reinterpret_cast<uintptr_t>(g_host.menu);
    case HN_hInstVrel: return reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr));
    case HN_CurrentModulePtr_ADDR: return reinterpret_cast<uintptr_t>(&g_host.currentModule);
    case HN_DezTrenn: return reinterpret_cast<uintptr_t>(g_vars.decimalSeparator);
    case HN_TimeTrenn: return reinterpret_cast<uintptr_t>(g_vars.timeSeparator);
    case HN_DateTrenn: return reinterpret_cast<uintptr_t>(g_vars.dateSeparator);
    case HN_hBitChannel: return reinterpret_cast<uintptr_t>(ChannelBitmapArray());
    case HN_hBitLessMore: return reinterpret_cast<uintptr_t>(LessMoreBitmapArray());
    case HN_hDkGrayPen:
    case HN_hPipePenRed:
    case HN_hPipePenGreen: return reinterpret_cast<uintptr_t>(GetStockObject(BLACK_PEN));
    case HN_hLightRedBrush:
    case HN_hGreenBrush: return reinterpret_cast<uintptr_t>(GetStockObject(GRAY_BRUSH));
    default: break;
    }
    if (IsAddressName(HOST_NAMES[index].name)) return reinterpret_cast<uintptr_t>(g_vars.slot[index]);
    if (index >= HN_InitialStartupDir && index <= HN_GlobalFlowChartInfo_Info)
        return reinterpret_cast<uintptr_t>(g_vars.text);
    return 1;   // flags, numbers and handles the plug-in never reads
}

// ---- defined variables ----

const std::vector<DefinedVariable>& DefinedVariables() { return g_host.variables; }

bool IsVariableDefined(const char* name)
{
    for (const DefinedVariable& v : g_host.variables)
        if (v.name == name) return true;
    return false;
}

static void WriteVariable(const char* name, const void* value, int size)
{
    for (const DefinedVariable& v : g_host.variables) {
        if (v.name != name) continue;
        if (v.size != size) {
            HostError("variable " + v.name + " defined with size " + std::to_string(v.size));
            return;
        }
        memcpy(v.address, value, size);
    }
}

void PublishVariables()
{
    WriteVariable("fGlobalMilliSecondsPerSample", &g_host.samplePeriodMs, 8);
    WriteVariable("uiGlobalBlockSize", &g_host.blockSize, 4);
    WriteVariable("bAnimation", &g_host.animation, 4);
    WriteVariable("bExperimentIsRunning", &g_host.running, 4);
    WriteVariable("bExperimentIsPaused", &g_host.paused, 4);
    WriteVariable("dwExperimentStartTimeTicks", &g_host.startTicks, 4);
    WriteVariable("BBoxModul", &g_host.bboxModul, 4);
}

// Worked out when the period or the block size changes, not in every cycle.
static void SetCycleTicks() { g_host.cycleTicks = RoundedCycleTicks(g_host.samplePeriodMs, g_host.blockSize); }
void SetSamplePeriodMs(double ms) { g_host.samplePeriodMs = ms; SetCycleTicks(); PublishVariables(); }
void SetBlockSize(uint32_t samples) { g_host.blockSize = samples; SetCycleTicks(); PublishVariables(); }
void SetAnimation(int32_t on) { g_host.animation = on; PublishVariables(); }
void SetRunning(int32_t running) { g_host.running = running; PublishVariables(); }
void SetPaused(int32_t paused) { g_host.paused = paused; PublishVariables(); }
void SetStartTicks(uint32_t ticks) { g_host.startTicks = ticks; PublishVariables(); }
void SetBBoxModul(int32_t value) { g_host.bboxModul = value; PublishVariables(); }
double SamplePeriodMs() { return g_host.samplePeriodMs; }
uint32_t BlockSize() { return g_host.blockSize; }
int32_t Running() { return g_host.running; }
int32_t Paused() { return g_host.paused; }
uint32_t StartTicks() { return g_host.startTicks; }

// ---- records ----

const std::vector<WarningRecord>& Warnings() { return g_host.warnings; }
const std::vector<InternalErrorRecord>& InternalErrors() { return g_host.internalErrors; }
int StopExperimentCalls() { return g_host.stopCalls; }
const std::vector<SizeChangeRecord>& SizeChanges() { return g_host.sizeChanges; }
const std::vector<MenuEntryRecord>& MenuEntries() { return g_host.menuEntries; }
const std::vector<FontRecord>& CreatedFonts() { return g_host.fonts; }
const std::vector<HGDIOBJ>& DeletedObjects() { return g_host.deleted; }
const std::vector<DefaultActionRecord>& DefaultActions() { return g_host.defaultActions; }
void SetDefaultActionResult(int32_t result) { g_host.defaultActionResult = result; }
const std::vector<std::string>& HostErrors() { return g_host.hostErrors; }
void ClearHostErrors() { g_host.hostErrors.clear(); }

int InvokeMenuEntry(int commandId)
{
    for (const MenuEntryRecord& e : g_host.menuEntries)
        if (e.commandId == commandId) return e.handler();
    return -1;
}

void ClearRecords()
{
    g_host.warnings.clear();
    g_host.internalErrors.clear();
    g_host.stopCalls = 0;
    g_host.sizeChanges.clear();
    g_host.fonts.clear();
    g_host.deleted.clear();
    g_host.defaultActions.clear();
    g_host.hostErrors.clear();
}

std::string ToUtf8(const std::string& cp932)
{
    if (cp932.empty()) return std::string();
    int wide = MultiByteToWideChar(932, 0, cp932.data(), (int)cp932.size(), nullptr, 0);
    std::wstring w(wide, L'\0');
    MultiByteToWideChar(932, 0, cp932.data(), (int)cp932.size(), &w[0], wide);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &out[0], bytes, nullptr, nullptr);
    return out;
}

std::string WarningsAsUtf8()
{
    std::string out;
    for (const WarningRecord& w : g_host.warnings) out += ToUtf8(w.caption) + ": " + ToUtf8(w.text) + "\n";
    return out;
}

}  // namespace standin
