// A small host for the dialog tests: the lookup window, the services the dialogs call (with
// records a test reads), module instances, and a driver that acts on each modal dialog in turn.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "extavik/hostabi.h"

namespace dialoghost {

struct Warning {
    std::string caption, text;   // code page 932 bytes as passed
};
struct Resize {
    ModuleRecord* module;
    int inputs, outputs;
};

struct Module {
    ModuleRecord record;
    GpibModuleParams params;
    GpibModuleRuntime runtime;
    GpibChannelRuntime channels[GPIB_CHANNELS];
    bool output;
};

// One step of the dialog driver: runs once for the next dialog that opens.
struct Step {
    std::string title;                      // caption the dialog must have ("" = any)
    std::function<void(HWND dialog)> act;   // must close the dialog (OK, Cancel...)
};

class Host {
public:
    Host();
    ~Host();
    bool Load();   // loads the plug-in and calls SetupVrelDLL; false when that fails
    void Unload();

    // Records.
    std::vector<Warning> warnings;
    std::vector<Resize> resizes;
    std::vector<std::string> unexpectedDialogs;
    std::vector<std::string> titleMismatches;
    int liveBlocks = 0;

    // Plug-in variables as the host keeps them.
    void SetRunning(int running);
    void SetSamplePeriodMs(double ms);

    // Modules: creation sends 101 (the test queues the SELECT step first).
    Module* NewModule(bool output);
    int32_t Send(Module* module, uint32_t message, int32_t wParam = 0, intptr_t lParam = 0);
    bool HasClasses() const;

    // The driver.
    void Expect(const std::string& title, std::function<void(HWND)> act);
    size_t PendingSteps() const { return steps_.size(); }
    void RunNextStep(HWND dialog);
    void ClearRecords();

    HWND window = nullptr;
    HBITMAP channelPictures[4] = {};
    HBITMAP lessMorePictures[6] = {};

private:
    friend struct HostAccess;
    HMODULE plugin_ = nullptr;
    std::vector<Step> steps_;
    std::vector<Module*> modules_;
    std::map<std::string, void*> variables_;
    ModuleClassRecord classes_[2] = {};
    int classCount_ = 0;
    HHOOK hook_ = nullptr;
};

// Driving helpers for a step.
std::string Text(HWND dialog, int id);
void Type(HWND dialog, int id, const std::string& text);
void Command(HWND dialog, int id);             // WM_COMMAND with BN_CLICKED, as a click
void Click(HWND dialog, int id);               // BM_CLICK on the control
void Focus(HWND dialog, int id);               // keyboard focus, as a click into the field
bool Enabled(HWND dialog, int id);
bool Checked(HWND dialog, int id);
WORD State(HWND dialog, int id);               // a channel-bar button's state
void PressChannel(HWND dialog, int slot);      // left press and release on a channel button
void PressLessMore(HWND dialog, int id, bool releaseOutside);

// Colours of the host's pictures, one per state, so a test can tell what a button shows.
extern const COLORREF CHANNEL_COLOURS[4];
extern const COLORREF LESSMORE_COLOURS[6];
COLORREF PixelOf(HWND control, int x, int y);

extern Host* g_host;

}  // namespace dialoghost
