// Drives the plug-in's modal dialogs from a test: a CBT hook on the current thread notices every
// dialog as it is activated and, once its WM_INITDIALOG is over, runs the next queued step for it.
// A step names the dialog by title (CP932, as the window shows it; empty = any dialog) and holds
// a list of actions. A dialog no step expects is recorded and cancelled; a dialog still open after
// its step is recorded and cancelled too, so a test never hangs in a modal loop.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace dialogdriver {

enum ActionKind {
    ACT_SET_TEXT,        // SetDlgItemTextA(id, text)
    ACT_CLICK,           // BM_CLICK to control id
    ACT_COMMAND,         // WM_COMMAND(id, BN_CLICKED) sent to the dialog
    ACT_READ_TEXT,       // GetDlgItemTextA(id) into *textOut
    ACT_READ_ENABLED,    // IsWindowEnabled(control id) into *intOut
    ACT_READ_CHECKED,    // IsDlgButtonChecked(id) into *intOut
    ACT_CHECK,           // CheckDlgButton(id, value)
    ACT_SEND,            // SendMessageA(control id or the dialog when id is 0, message, wParam, lParam)
    ACT_CALL,            // fn(dialog)
    ACT_END,             // EndDialog(value)
    ACT_PRESS,           // WM_LBUTTONDOWN then WM_LBUTTONUP to control id; value 1: released outside it
    ACT_READ_STATE,      // GetWindowWord(control id, 0) into *intOut (a channel-bar button's state)
    ACT_FOCUS,           // SetFocus(control id), as a click into the field
    ACT_READ_ITEMS,      // the item texts of a combo box into *listOut
    ACT_NESTED,          // nested.front() becomes the next step, then WM_COMMAND(id, BN_CLICKED)
};

struct Step;

struct Action {
    ActionKind kind;
    int id = 0;
    std::string text;
    std::string* textOut = nullptr;
    int* intOut = nullptr;
    int value = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void(HWND)> fn;
    std::vector<std::string>* listOut = nullptr;
    std::vector<Step> nested;      // ACT_NESTED: the step of the dialog the command opens
};

Action SetText(int id, const std::string& text);
Action Click(int id);
Action Command(int id);
Action ReadText(int id, std::string* out);
Action ReadEnabled(int id, int* out);
Action ReadChecked(int id, int* out);
Action Check(int id, int checked);
Action Send(int id, UINT message, WPARAM wParam, LPARAM lParam);
Action Call(std::function<void(HWND)> fn);
Action End(int result);
Action Press(int id);                  // left press and release over the control
Action PressReleaseOutside(int id);    // left press over it, release outside its rectangle
Action ReadState(int id, int* out);
Action Focus(int id);
Action ReadItems(int id, std::vector<std::string>* out);

struct Step {
    std::string title;             // empty: whatever dialog comes next
    std::vector<Action> actions;
    bool mayStayOpen = false;      // the actions leave it open on purpose (a later click closes it)
};

// Presses button id of the current dialog, which opens a nested modal dialog driven by step.
// A nested dialog that does not open is recorded in MissedDialogs and its step dropped.
Action Nested(int id, const Step& step);
Action Nested(int id, const std::string& title, const std::vector<Action>& actions);

// Installs the hook on this thread (idempotent); Uninstall removes it and forgets all steps.
void Install();
void Uninstall();
void Queue(const Step& step);
void Queue(const std::string& title, const std::vector<Action>& actions);
size_t PendingSteps();
void ClearSteps();

// What happened: titles of every dialog seen, those no step expected, those left open.
const std::vector<std::string>& SeenDialogs();
const std::vector<std::string>& UnexpectedDialogs();
const std::vector<std::string>& LeftOpenDialogs();
const std::vector<std::string>& MissedDialogs();   // nested steps whose dialog never opened
void ClearHistory();

// Texts of a message box (its static text) as seen by the last step that read one.
std::string DialogText(HWND dialog);   // the concatenated static texts of the dialog
std::string WindowTitle(HWND window);

// The own-address dialog that every module creation opens.
extern const char* const SELECT_TITLE;   // "GP-IBモジュール選択"
void AnswerSelect(int address);          // type the address into 1048, press OK
void CancelSelect();                     // press Cancel
// A message box: read its text into *text (may be null) and press the button id.
void AnswerMessageBox(const std::string& title, int button, std::string* text = nullptr);

}  // namespace dialogdriver
