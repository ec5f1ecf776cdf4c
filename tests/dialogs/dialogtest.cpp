// The dialog tests' fixture and the checks their steps record.
#include "tests/dialogs/dialogtest.h"

#include <gtest/gtest.h>
#include <string.h>

// A 32-bit top-down device-independent bitmap of the given size.
BITMAPINFO TopDown(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

namespace {

// 32-bit top-down pixels (BGRX) of a picture.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> bits;
    uint32_t At(int x, int y) const { return bits[y * width + x] & 0xFFFFFF; }
};


Pixels OfBitmap(HBITMAP bitmap)
{
    Pixels p;
    BITMAP b = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof b, &b)) return p;
    p.width = b.bmWidth;
    p.height = b.bmHeight;
    p.bits.resize(p.width * p.height);
    BITMAPINFO info = TopDown(p.width, p.height);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, p.height, p.bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return p;
}

// What the control shows on the screen, after it has painted.
Pixels OfControl(HWND control)
{
    Pixels p;
    RECT r = {};
    GetClientRect(control, &r);
    UpdateWindow(control);
    p.width = r.right;
    p.height = r.bottom;
    HDC dc = GetDC(control);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP copy = CreateCompatibleBitmap(dc, p.width, p.height);
    HGDIOBJ old = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, p.width, p.height, dc, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(control, dc);
    Pixels q = OfBitmap(copy);
    DeleteObject(copy);
    return q;
}

const uint32_t DARK_GREY = 0x404040;   // the DKGRAY_BRUSH background of the button classes

}  // namespace

Checks::Entry& Checks::Add(const std::string& what)
{
    entries_.push_back(Entry());
    entries_.back().what = what + " (check " + std::to_string(entries_.size()) + ")";
    return entries_.back();
}

dd::Action Checks::State(int id, int expected)
{
    Entry& e = Add("state of " + std::to_string(id));
    e.expected = expected;
    return dd::ReadState(id, &e.actual);
}

dd::Action Checks::Checked(int id, int expected)
{
    Entry& e = Add("check mark of " + std::to_string(id));
    e.expected = expected;
    return dd::ReadChecked(id, &e.actual);
}

dd::Action Checks::Enabled(int id, bool expected)
{
    Entry& e = Add("enabled " + std::to_string(id));
    e.expected = expected ? 1 : 0;
    return dd::ReadEnabled(id, &e.actual);
}

dd::Action Checks::Text(int id, const std::string& expected)
{
    Entry& e = Add("text of " + std::to_string(id));
    e.text = true;
    e.expectedText = expected;
    return dd::ReadText(id, &e.actualText);
}

dd::Action Checks::NoCapture()
{
    Entry& e = Add("mouse capture released");
    e.expected = 1;
    int* out = &e.actual;
    return dd::Call([out](HWND) { *out = GetCapture() == nullptr ? 1 : 0; });
}

dd::Action Checks::Shows(int id, HBITMAP picture)
{
    Entry& e = Add("picture of " + std::to_string(id));
    e.expected = 1;
    int* out = &e.actual;
    return dd::Call([out, id, picture](HWND dlg) {
        Pixels shown = OfControl(GetDlgItem(dlg, id)), expected = OfBitmap(picture);
        bool same = shown.width > 0 && shown.width == expected.width && shown.height == expected.height;
        for (int y = 0; same && y < shown.height; ++y)
            for (int x = 0; same && x < shown.width; ++x) same = shown.At(x, y) == expected.At(x, y);
        *out = same ? 1 : 0;
    });
}

dd::Action Checks::ShowsBackground(int id)
{
    Entry& e = Add("background only in " + std::to_string(id));
    e.expected = 1;
    int* out = &e.actual;
    return dd::Call([out, id](HWND dlg) {
        Pixels shown = OfControl(GetDlgItem(dlg, id));
        bool plain = shown.width > 0;
        for (uint32_t pixel : shown.bits) plain = plain && (pixel & 0xFFFFFF) == DARK_GREY;
        *out = plain ? 1 : 0;
    });
}

void Checks::Verify()
{
    for (const Entry& e : entries_) {
        if (e.text) EXPECT_EQ(e.expectedText, e.actualText) << e.what;
        else EXPECT_EQ(e.expected, e.actual) << e.what;
    }
    entries_.clear();
}

void DialogTest::SetUp()
{
    Load(testsupport::DEFAULT_BOARD);
    ASSERT_EQ(1, setupResult);
    ASSERT_NE(nullptr, standin::FindClass(CLASS_IN)) << "the module classes were not registered (board library?)";
    ASSERT_NE(nullptr, standin::FindClass(CLASS_OUT));
    standin::SetRunning(0);
    standin::SetSamplePeriodMs(1.0);
}

void DialogTest::TearDown()
{
    checks.Verify();
    EXPECT_EQ(0u, dd::PendingSteps()) << "a dialog that was expected did not open";
    EXPECT_TRUE(dd::LeftOpenDialogs().empty()) << "dialog left open: " << standin::ToUtf8(dd::LeftOpenDialogs()[0]);
    EXPECT_TRUE(dd::MissedDialogs().empty()) << "nested dialog did not open: " << standin::ToUtf8(dd::MissedDialogs()[0]);
    EXPECT_EQ(0u, standin::LiveBlockCount()) << "working copies left on the host heap";
    testsupport::PluginTest::TearDown();
}

ModuleRecord* DialogTest::Create(bool output, int address, int channels)
{
    dd::AnswerSelect(address);
    int32_t result = 0;
    ModuleRecord* m = standin::CreateModule(output ? CLASS_OUT : CLASS_IN, &result);
    EXPECT_EQ(1, result);
    if (!m) return nullptr;
    if (output) standin::Params(m)->outChannelCount = channels;
    else m->outputCount = channels;
    standin::ClearRecords();
    return m;
}

bool DialogTest::IsOutput(ModuleRecord* m)
{
    const standin::ModuleClass* c = standin::ClassOf(m);
    return c && c->className == CLASS_OUT;
}

void DialogTest::Settings(ModuleRecord* m, const std::vector<dd::Action>& actions)
{
    dd::Queue(IsOutput(m) ? TITLE_OUT : TITLE_IN, actions);
    EXPECT_EQ(1, standin::OpenSettings(m));
    checks.Verify();
}

bool DialogTest::Warned(const char* caption, const char* text)
{
    for (const standin::WarningRecord& w : standin::Warnings())
        if (w.caption == caption && w.text == text) return true;
    return false;
}

dd::Action DialogTest::StillOpen(bool* open)
{
    return dd::Call([open](HWND d) { *open = IsWindow(d) && IsWindowVisible(d); });
}
