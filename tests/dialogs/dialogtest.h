// The dialog tests' fixture: the plug-in in the stand-in host, modules created through "SELECT",
// settings dialogs driven by dialogdriver steps, and checks recorded by the steps' actions and
// compared once the dialog has closed (each naming the control it read).
#pragma once
#include <deque>
#include <string>
#include <vector>
#include "host/dialogdriver.h"
#include "extavik/host/entry.h"
#include "host/standin_host.h"
#include "tests/support/pluginfixture.h"

namespace dd = dialogdriver;

// A 32-bit top-down device-independent bitmap of the given size.
BITMAPINFO TopDown(int width, int height);

constexpr char CLASS_IN[] = CLASS_GPIB_IN;
constexpr char CLASS_OUT[] = CLASS_GPIB_OUT;
// Dialog captions as the windows show them.
constexpr char TITLE_IN[] = "GP-IB 入力";
constexpr char TITLE_OUT[] = "GP-IB 出力";
constexpr char TITLE_RECV[] = "受信設定";
constexpr char TITLE_SPOLL[] = "シリアルポール設定－ステータスバイト";
constexpr char TITLE_PPOLL[] = "パラレルポール設定";

// Expected values recorded with the actions that read them.
class Checks {
public:
    dd::Action State(int id, int expected);            // channel-bar button state word
    dd::Action Checked(int id, int expected);          // BST_CHECKED / BST_UNCHECKED
    dd::Action Enabled(int id, bool expected);
    dd::Action Text(int id, const std::string& expected);
    dd::Action NoCapture();                             // no window holds the mouse
    dd::Action Shows(int id, HBITMAP picture);          // the control shows exactly this picture
    dd::Action ShowsBackground(int id);                 // the control shows only its dark grey class brush
    void Verify();                                      // EXPECTs every recorded check

private:
    struct Entry {
        std::string what;
        int expected = 0, actual = -100000;
        std::string expectedText, actualText;
        bool text = false;
    };
    Entry& Add(const std::string& what);
    std::deque<Entry> entries_;   // stable addresses for the actions' out pointers
};

class DialogTest : public testsupport::PluginTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A module created with the own address typed into "SELECT".
    ModuleRecord* Create(bool output, int address, int channels = 1);
    // Opens the module's settings dialog (103) and drives it with the actions.
    void Settings(ModuleRecord* m, const std::vector<dd::Action>& actions);
    static bool IsOutput(ModuleRecord* m);

    static bool Warned(const char* caption, const char* text);
    static dd::Action StillOpen(bool* open);   // the dialog is still up (a failed check kept it)
    Checks checks;
};
