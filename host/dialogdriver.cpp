// The dialog driver: a CBT hook on this thread notices each dialog window; a zero-delay thread
// timer runs its step from the dialog's own modal loop, after WM_INITDIALOG is over.
#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include "host/dialogdriver.h"

namespace dialogdriver {

const char* const SELECT_TITLE = "GP-IBモジュール選択";

namespace {

const char DIALOG_CLASS[] = "#32770";
const int MAX_SHOW_WAITS = 100;   // then the step runs on the hidden dialog

struct Driver {
    HHOOK hook = nullptr;
    std::deque<Step> steps;
    std::vector<HWND> pending;      // noticed, step not yet run
    std::vector<std::pair<HWND, std::string>> mustBeClosed;   // step done; checked one message later
    std::set<HWND> handled;
    std::map<HWND, int> waits;      // timer rounds a noticed dialog has waited to be shown
    std::vector<std::string> seen, unexpected, leftOpen, missed;
};
Driver g_driver;

bool IsDialog(HWND hwnd)
{
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    return strcmp(cls, DIALOG_CLASS) == 0 && !(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD);
}

// Client coordinates of a point well outside the control: beyond its bottom-right corner.
LPARAM OutsideOf(HWND control)
{
    RECT r = {};
    GetClientRect(control, &r);
    return MAKELPARAM(r.right + 40, r.bottom + 40);
}

void PressControl(HWND control, bool releaseOutside)
{
    const LPARAM inside = MAKELPARAM(5, 5);
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    SendMessageA(control, WM_LBUTTONUP, 0, releaseOutside ? OutsideOf(control) : inside);
}

void ReadItems(HWND control, std::vector<std::string>* out)
{
    if (!out) return;
    out->clear();
    LRESULT count = SendMessageA(control, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT n = SendMessageA(control, CB_GETLBTEXTLEN, i, 0);
        std::string text(n > 0 ? n + 1 : 1, '\0');
        LRESULT got = SendMessageA(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(got > 0 ? got : 0);
        out->push_back(text);
    }
}

void OpenNested(HWND dlg, const Action& a)
{
    if (a.nested.empty()) return;
    const Step& step = a.nested.front();
    size_t before = g_driver.steps.size();
    g_driver.steps.push_front(step);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(a.id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, a.id)));
    if (g_driver.steps.size() > before) {   // the step is still there: no dialog took it
        g_driver.steps.pop_front();
        g_driver.missed.push_back(step.title);
    }
}

void RunAction(HWND dlg, const Action& a)
{
    HWND control = a.id ? GetDlgItem(dlg, a.id) : dlg;
    switch (a.kind) {
    case ACT_SET_TEXT: SetDlgItemTextA(dlg, a.id, a.text.c_str()); break;
    case ACT_CLICK: SendMessageA(control, BM_CLICK, 0, 0); break;
    case ACT_COMMAND: SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(a.id, BN_CLICKED), (LPARAM)control); break;
    case ACT_READ_TEXT: if (a.textOut) *a.textOut = WindowTitle(control); break;
    case ACT_READ_ENABLED: if (a.intOut) *a.intOut = control && IsWindowEnabled(control) ? 1 : 0; break;
    case ACT_READ_CHECKED: if (a.intOut) *a.intOut = IsDlgButtonChecked(dlg, a.id); break;
    case ACT_CHECK: CheckDlgButton(dlg, a.id, a.value); break;
    case ACT_SEND: SendMessageA(control, a.message, a.wParam, a.lParam); break;
    case ACT_CALL: if (a.fn) a.fn(dlg); break;
    case ACT_END: EndDialog(dlg, a.value); break;
    case ACT_PRESS: PressControl(control, a.value != 0); break;
    case ACT_READ_STATE: if (a.intOut) *a.intOut = control ? GetWindowWord(control, 0) : -1; break;
    case ACT_FOCUS: SetFocus(control); break;
    case ACT_READ_ITEMS: ReadItems(control, a.listOut); break;
    case ACT_NESTED: OpenNested(dlg, a); break;
    }
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD);

bool Matches(const Step& step, const std::string& title) { return step.title.empty() || step.title == title; }

// Cancels a dialog whatever its procedure does with IDCANCEL.
void Cancel(HWND dlg)
{
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    if (IsWindow(dlg)) EndDialog(dlg, IDCANCEL);
}

void Drive(HWND dlg)
{
    std::string title = WindowTitle(dlg);
    g_driver.seen.push_back(title);
    if (g_driver.steps.empty() || !Matches(g_driver.steps.front(), title)) {
        g_driver.unexpected.push_back(title);
        Cancel(dlg);
        return;
    }
    Step step = g_driver.steps.front();
    g_driver.steps.pop_front();
    for (const Action& a : step.actions) {
        if (!IsWindow(dlg)) break;
        RunAction(dlg, a);
    }
    // An ended dialog is destroyed as soon as this timer message returns to its modal loop;
    // one that still exists at the next timer was left open.
    if (!step.mayStayOpen && IsWindow(dlg)) {
        g_driver.mustBeClosed.push_back({dlg, title});
        SetTimer(nullptr, 0, 0, OnTimer);
    }
}

void CancelLeftOpen()
{
    std::vector<std::pair<HWND, std::string>> check;
    check.swap(g_driver.mustBeClosed);
    for (const auto& c : check) {
        if (!IsWindow(c.first) || !g_driver.handled.count(c.first)) continue;
        g_driver.leftOpen.push_back(c.second);
        Cancel(c.first);
    }
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    CancelLeftOpen();
    while (!g_driver.pending.empty()) {
        HWND dlg = g_driver.pending.front();
        if (IsWindow(dlg) && !IsWindowVisible(dlg) && g_driver.waits[dlg]++ < MAX_SHOW_WAITS) {
            // The modal loop shows a dialog created without WS_VISIBLE once its queue is idle:
            // act on it as the user sees it, after it is shown and painted.
            SetTimer(nullptr, 0, 0, OnTimer);
            return;
        }
        g_driver.pending.erase(g_driver.pending.begin());
        g_driver.waits.erase(dlg);
        if (IsWindow(dlg)) Drive(dlg);
    }
}

void Notice(HWND hwnd)
{
    if (g_driver.handled.count(hwnd) || !IsDialog(hwnd)) return;
    g_driver.handled.insert(hwnd);
    g_driver.pending.push_back(hwnd);
    SetTimer(nullptr, 0, 0, OnTimer);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) Notice(reinterpret_cast<HWND>(wParam));
    if (code == HCBT_DESTROYWND) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        g_driver.handled.erase(hwnd);
        g_driver.pending.erase(std::remove(g_driver.pending.begin(), g_driver.pending.end(), hwnd), g_driver.pending.end());
    }
    return CallNextHookEx(g_driver.hook, code, wParam, lParam);
}

Action Make(ActionKind kind, int id)
{
    Action a;
    a.kind = kind;
    a.id = id;
    return a;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM lParam)
{
    char cls[16] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (_stricmp(cls, "Static") == 0) {
        std::string* out = reinterpret_cast<std::string*>(lParam);
        std::string text = WindowTitle(child);
        if (!text.empty()) *out += (out->empty() ? "" : "\n") + text;
    }
    return TRUE;
}

}  // namespace

Action SetText(int id, const std::string& text) { Action a = Make(ACT_SET_TEXT, id); a.text = text; return a; }
Action Click(int id) { return Make(ACT_CLICK, id); }
Action Command(int id) { return Make(ACT_COMMAND, id); }
Action ReadText(int id, std::string* out) { Action a = Make(ACT_READ_TEXT, id); a.textOut = out; return a; }
Action ReadEnabled(int id, int* out) { Action a = Make(ACT_READ_ENABLED, id); a.intOut = out; return a; }
Action ReadChecked(int id, int* out) { Action a = Make(ACT_READ_CHECKED, id); a.intOut = out; return a; }
Action Check(int id, int checked) { Action a = Make(ACT_CHECK, id); a.value = checked; return a; }

Action Send(int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    Action a = Make(ACT_SEND, id);
    a.message = message;
    a.wParam = wParam;
    a.lParam = lParam;
    return a;
}

Action Call(std::function<void(HWND)> fn) { Action a = Make(ACT_CALL, 0); a.fn = fn; return a; }
Action End(int result) { Action a = Make(ACT_END, 0); a.value = result; return a; }
Action Press(int id) { return Make(ACT_PRESS, id); }
Action PressReleaseOutside(int id) { Action a = Make(ACT_PRESS, id); a.value = 1; return a; }
Action ReadState(int id, int* out) { Action a = Make(ACT_READ_STATE, id); a.intOut = out; return a; }
Action Focus(int id) { return Make(ACT_FOCUS, id); }
Action ReadItems(int id, std::vector<std::string>* out) { Action a = Make(ACT_READ_ITEMS, id); a.listOut = out; return a; }

Action Nested(int id, const Step& step)
{
    Action a = Make(ACT_NESTED, id);
    a.nested.push_back(step);
    return a;
}

Action Nested(int id, const std::string& title, const std::vector<Action>& actions)
{
    Step s;
    s.title = title;
    s.actions = actions;
    return Nested(id, s);
}

void Install()
{
    if (!g_driver.hook) g_driver.hook = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
}

void Uninstall()
{
    if (g_driver.hook) UnhookWindowsHookEx(g_driver.hook);
    g_driver = Driver();
}

void Queue(const Step& step) { g_driver.steps.push_back(step); }

void Queue(const std::string& title, const std::vector<Action>& actions)
{
    Step s;
    s.title = title;
    s.actions = actions;
    Queue(s);
}

size_t PendingSteps() { return g_driver.steps.size(); }
void ClearSteps() { g_driver.steps.clear(); }
const std::vector<std::string>& SeenDialogs() { return g_driver.seen; }
const std::vector<std::string>& UnexpectedDialogs() { return g_driver.unexpected; }
const std::vector<std::string>& LeftOpenDialogs() { return g_driver.leftOpen; }
const std::vector<std::string>& MissedDialogs() { return g_driver.missed; }

void ClearHistory()
{
    g_driver.seen.clear();
    g_driver.unexpected.clear();
    g_driver.leftOpen.clear();
    g_driver.missed.clear();
}

std::string WindowTitle(HWND window)
{
    if (!window) return std::string();
    int n = GetWindowTextLengthA(window);
    std::string text(n + 1, '\0');
    int got = GetWindowTextA(window, &text[0], n + 1);
    text.resize(got > 0 ? got : 0);
    return text;
}

std::string DialogText(HWND dialog)
{
    std::string out;
    EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&out));
    return out;
}

void AnswerSelect(int address)
{
    Queue(SELECT_TITLE, {SetText(1048, std::to_string(address)), Click(1)});
}

void CancelSelect() { Queue(SELECT_TITLE, {Click(2)}); }

void AnswerMessageBox(const std::string& title, int button, std::string* text)
{
    Queue(title, {Call([text](HWND dlg) { if (text) *text = DialogText(dlg); }), Command(button)});
}

}  // namespace dialogdriver
