// The dialog tests' host: answers the plug-in's lookups, keeps records of the services the
// dialogs call, creates module instances and drives each modal dialog with a queued step.
#include "tests/dialogs/dialoghost.h"

#include <set>
#include <string.h>

#include "extavik/hostnames.h"
#include "extavik/resources/resource.h"

namespace dialoghost {

Host* g_host;

const COLORREF CHANNEL_COLOURS[4] = {RGB(128, 128, 128), RGB(255, 224, 0), RGB(0, 160, 0), RGB(48, 48, 48)};
const COLORREF LESSMORE_COLOURS[6] = {RGB(96, 96, 96), RGB(208, 64, 64), RGB(112, 16, 16),
                                      RGB(80, 80, 80), RGB(64, 128, 224), RGB(16, 32, 112)};

struct HostAccess {
    static ModuleRecord* current;
    static char decimalSeparator;
    static uint8_t storage[4096];
    static std::set<HWND> seen;
    static std::map<UINT_PTR, HWND> pending;
};
ModuleRecord* HostAccess::current;
char HostAccess::decimalSeparator = '.';
uint8_t HostAccess::storage[4096];
std::set<HWND> HostAccess::seen;
std::map<UINT_PTR, HWND> HostAccess::pending;

namespace {

// ---- services ----

void* WINAPI NewMemAlloc(DWORD size, const char*, int)
{
    ++g_host->liveBlocks;
    return calloc(1, size);
}
void WINAPI NewDoMemFree(void* block, const char*, int)
{
    if (block) --g_host->liveBlocks;
    free(block);
}
int WINAPI DefineDllModule() { return 1; }
void WINAPI ShowWarning(const char* caption, const char* text) { g_host->warnings.push_back({caption, text}); }
void WINAPI ShowInternalError(const char* text, const char*, int) { g_host->warnings.push_back({"internal", text}); }
void WINAPI ChangeModuleSize(ModuleRecord* module, int inputs, int outputs)
{
    g_host->resizes.push_back({module, inputs, outputs});
    module->inputCount = inputs;
    module->outputCount = outputs;
}
HFONT WINAPI CreateStackedFontIndirect(const LOGFONTA* font) { return CreateFontIndirectA(font); }
void WINAPI DeleteStackedObject(HGDIOBJ object) { DeleteObject(object); }
int32_t WINAPI PerformDefaultAction(ModuleRecord*, uint32_t, int32_t, intptr_t) { return 0; }
void WINAPI RegisterMenuEntry(int, void*) {}
void WINAPI StopExperiment() {}
void* WINAPI NoBlock(void*) { return nullptr; }
void WINAPI ReleaseOutputBlock(void*, const char*, int) {}
void* WINAPI NoInputBlock(ModuleRecord*, int) { return nullptr; }
void WINAPI ReleaseInputBlock(ModuleRecord*, int, const char*, int) {}
int WINAPI Unused() { return 0; }

std::map<std::string, void*>* g_variables;
ModuleClassRecord* g_classes;
int* g_classCount;

int WINAPI RecordVariable(const char* name, void* address, int)
{
    (*g_variables)[name] = address;
    return 1;
}
void WINAPI RegisterModuleClass(ModuleClassRecord* record)
{
    if (*g_classCount < 2) g_classes[(*g_classCount)++] = *record;
}

struct NamedService {
    const char* name;
    void* address;
};
const NamedService SERVICES[] = {
    {"NewMemAlloc", (void*)NewMemAlloc}, {"NewDoMemFree", (void*)NewDoMemFree},
    {"DefineDllModule", (void*)DefineDllModule}, {"DefineDllVariable", (void*)RecordVariable},
    {"RegisterModuleClass", (void*)RegisterModuleClass}, {"ShowWarning", (void*)ShowWarning},
    {"ShowInternalError", (void*)ShowInternalError}, {"ChangeModuleSize", (void*)ChangeModuleSize},
    {"CreateStackedFontIndirect", (void*)CreateStackedFontIndirect},
    {"DeleteStackedObject", (void*)DeleteStackedObject}, {"PerformDefaultAction", (void*)PerformDefaultAction},
    {"RegisterMenuEntry", (void*)RegisterMenuEntry}, {"StopExperiment", (void*)StopExperiment},
    {"GetCurrentOutputBlock", (void*)NoBlock}, {"NewReleaseOutputBlock", (void*)ReleaseOutputBlock},
    {"GetInputBlock", (void*)NoInputBlock}, {"NewReleaseInputBlock", (void*)ReleaseInputBlock},
};

HMENU g_menuBar;

LRESULT LookUp(UINT kind, const char* name)
{
    std::string n = name ? name : "";
    if (kind == HOST_LOOKUP_SERVICE) {
        for (const NamedService& s : SERVICES)
            if (n == s.name) return reinterpret_cast<LRESULT>(s.address);
        return reinterpret_cast<LRESULT>(Unused);
    }
    if (n == "&CurrentModulePtr") return reinterpret_cast<LRESULT>(&HostAccess::current);
    if (n == "DezTrenn") return reinterpret_cast<LRESULT>(&HostAccess::decimalSeparator);
    if (n == "hBitChannel") return reinterpret_cast<LRESULT>(g_host->channelPictures);
    if (n == "hBitLessMore") return reinterpret_cast<LRESULT>(g_host->lessMorePictures);
    if (n == "MainMenu") return reinterpret_cast<LRESULT>(g_menuBar);
    return reinterpret_cast<LRESULT>(HostAccess::storage);
}

LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == HOST_LOOKUP_VARIABLE || message == HOST_LOOKUP_SERVICE)
        return LookUp(message, reinterpret_cast<const char*>(lParam));
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HBITMAP Picture(int width, int height, COLORREF colour)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    FrameRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

// ---- the driver ----

std::string WindowText(HWND hwnd)
{
    char text[1024] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

bool IsDialog(HWND hwnd)
{
    char name[16] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return strcmp(name, "#32770") == 0;
}

void CALLBACK RunStep(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    HWND dialog = HostAccess::pending[id];
    HostAccess::pending.erase(id);
    if (!IsWindow(dialog)) return;
    if (!IsWindowVisible(dialog)) {   // the modal loop shows it once its queue is idle
        HostAccess::pending[SetTimer(nullptr, 0, 0, RunStep)] = dialog;
        return;
    }
    g_host->RunNextStep(dialog);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && IsDialog(hwnd) && !HostAccess::seen.count(hwnd)) {
        HostAccess::seen.insert(hwnd);
        // The step runs from the dialog's own modal loop, which starts after WM_INITDIALOG.
        HostAccess::pending[SetTimer(nullptr, 0, 0, RunStep)] = hwnd;
    } else if (code == HCBT_DESTROYWND) {
        HostAccess::seen.erase(hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string PluginDir(const char* sub)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *strrchr(path, '\\') = '\0';
    return std::string(path) + sub;
}

}  // namespace

void Host::RunNextStep(HWND dialog)
{
    std::string title = WindowText(dialog);
    if (steps_.empty()) {
        unexpectedDialogs.push_back(title);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    Step step = steps_.front();
    steps_.erase(steps_.begin());
    if (!step.title.empty() && step.title != title) titleMismatches.push_back(title);
    step.act(dialog);
}

Host::Host()
{
    g_host = this;
    g_variables = &variables_;
    g_classes = classes_;
    g_classCount = &classCount_;
    for (int i = 0; i < 4; ++i) channelPictures[i] = Picture(22, 30, CHANNEL_COLOURS[i]);
    for (int i = 0; i < 6; ++i) lessMorePictures[i] = Picture(24, 32, LESSMORE_COLOURS[i]);
    g_menuBar = CreateMenu();
    for (const char* popup : {"File", "Edit", "View", "Run"})
        AppendMenuA(g_menuBar, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), popup);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "DialogTestHost";
    RegisterClassA(&wc);
    window = CreateWindowA("DialogTestHost", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1000, 760,
                           nullptr, g_menuBar, wc.hInstance, nullptr);
    hook_ = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
}

Host::~Host()
{
    Unload();
    if (hook_) UnhookWindowsHookEx(hook_);
    for (Module* m : modules_) delete m;
    DestroyWindow(window);
    g_host = nullptr;
}

bool Host::Load()
{
    SetDllDirectoryA(PluginDir("\\drv\\default").c_str());
    plugin_ = LoadLibraryA(PluginDir("\\..\\bin\\EXTAVIK.dll").c_str());
    if (!plugin_) return false;
    auto setup = reinterpret_cast<int(WINAPI*)(HWND)>(reinterpret_cast<void*>(GetProcAddress(plugin_, "SetupVrelDLL")));
    return setup && setup(window) == 1;
}

void Host::Unload()
{
    if (!plugin_) return;
    auto finish = reinterpret_cast<int(WINAPI*)(int)>(reinterpret_cast<void*>(GetProcAddress(plugin_, "FinishVrelDLL")));
    if (finish) finish(0);
    FreeLibrary(plugin_);
    plugin_ = nullptr;
}

void Host::SetRunning(int running)
{
    auto it = variables_.find("bExperimentIsRunning");
    if (it != variables_.end()) *static_cast<int32_t*>(it->second) = running;
}

void Host::SetSamplePeriodMs(double ms)
{
    auto it = variables_.find("fGlobalMilliSecondsPerSample");
    if (it != variables_.end()) *static_cast<double*>(it->second) = ms;
}

bool Host::HasClasses() const { return classCount_ == 2; }

Module* Host::NewModule(bool output)
{
    Module* m = new Module();
    memset(m, 0, sizeof *m);
    m->record.ownerWindow = window;
    m->record.params = &m->params;
    m->record.runtime = &m->runtime;
    for (int c = 0; c < GPIB_CHANNELS; ++c) m->record.channel[c] = &m->channels[c];
    m->record.isActive = 1;
    strcpy(m->record.moduleName, output ? "GPIB-OUT" : "GPIB-IN");
    m->output = output;
    modules_.push_back(m);
    return m;
}

int32_t Host::Send(Module* module, uint32_t message, int32_t wParam, intptr_t lParam)
{
    const char* name = module->output ? "KORVA:GPIB-OUT" : "KORVA:GPIB_IN";
    for (int i = 0; i < classCount_; ++i) {
        if (strcmp(classes_[i].className, name) != 0) continue;
        HostAccess::current = &module->record;   // the host's current module
        return classes_[i].moduleProc(&module->record, message, wParam, lParam);
    }
    return -1;
}

void Host::Expect(const std::string& title, std::function<void(HWND)> act)
{
    steps_.push_back({title, act});
}

void Host::ClearRecords()
{
    warnings.clear();
    resizes.clear();
    unexpectedDialogs.clear();
    titleMismatches.clear();
    steps_.clear();
}

// ---- driving helpers ----

std::string Text(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }
void Type(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }
void Command(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void Focus(HWND dialog, int id) { SetFocus(GetDlgItem(dialog, id)); }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
WORD State(HWND dialog, int id) { return GetWindowWord(GetDlgItem(dialog, id), 0); }

void PressChannel(HWND dialog, int slot)
{
    HWND button = GetDlgItem(dialog, IDC_CH_FIRST + slot);
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

void PressLessMore(HWND dialog, int id, bool releaseOutside)
{
    HWND button = GetDlgItem(dialog, id);
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    // Coordinates are relative to the button: a release far to its left and below is outside it.
    LPARAM where = releaseOutside ? MAKELPARAM(static_cast<WORD>(-60), 90) : MAKELPARAM(5, 5);
    SendMessageA(button, WM_LBUTTONUP, 0, where);
}

COLORREF PixelOf(HWND control, int x, int y)
{
    UpdateWindow(control);
    HDC dc = GetDC(control);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(control, dc);
    return colour;
}

}  // namespace dialoghost
