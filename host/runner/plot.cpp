// Plot drawing with GDI+ (anti-aliased lines and text) into an off-screen bitmap, stored as PNG.
#include "host/runner/plot.h"

#include <windows.h>
#include <algorithm>
#include <cmath>
using std::max;
using std::min;
#include <gdiplus.h>

#include "host/runner/axisticks.h"
#include "host/runner/pngfile.h"

namespace {

const int WIDTH = 960, HEIGHT = 540;
const int LEFT = 90, RIGHT = 200, TOP = 40, BOTTOM = 60;
const int MOST_TICKS = 8;             // per axis
const size_t MARKED_POINTS = 80;      // series shorter than this show a dot per sample
const double VALUE_PADDING = 0.05;    // of the value range, above and below
const float FONT_PIXELS = 13.0f;
const float DOT_RADIUS = 3.5f;
const wchar_t FONT_NAME[] = L"IPAGothic";   // has the Japanese glyphs of channel names
const Gdiplus::ARGB COLOURS[] = {
    Gdiplus::Color::MakeARGB(255, 31, 119, 180), Gdiplus::Color::MakeARGB(255, 255, 127, 14),
    Gdiplus::Color::MakeARGB(255, 44, 160, 44),  Gdiplus::Color::MakeARGB(255, 214, 39, 40),
    Gdiplus::Color::MakeARGB(255, 148, 103, 189), Gdiplus::Color::MakeARGB(255, 140, 86, 75),
    Gdiplus::Color::MakeARGB(255, 227, 119, 194), Gdiplus::Color::MakeARGB(255, 127, 127, 127),
    Gdiplus::Color::MakeARGB(255, 188, 189, 34), Gdiplus::Color::MakeARGB(255, 23, 190, 207)};
const size_t COLOUR_COUNT = sizeof COLOURS / sizeof COLOURS[0];

std::wstring Wide(const std::string& utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &w[0], n);
    return w;
}

// The range of the finite samples of all series, padded on the value axis.
struct PlotRange {
    double t0 = 0, t1 = 1, v0 = 0, v1 = 1;
};

PlotRange RangeOf(const std::vector<PlotSeries>& series)
{
    PlotRange r;
    bool any = false;
    for (const PlotSeries& s : series) {
        for (size_t i = 0; i < s.times.size() && i < s.values.size(); ++i) {
            if (!std::isfinite(s.values[i])) continue;
            if (!any) { r.t0 = r.t1 = s.times[i]; r.v0 = r.v1 = s.values[i]; any = true; }
            r.t0 = std::min(r.t0, s.times[i]); r.t1 = std::max(r.t1, s.times[i]);
            r.v0 = std::min(r.v0, s.values[i]); r.v1 = std::max(r.v1, s.values[i]);
        }
    }
    if (r.t1 <= r.t0) r.t1 = r.t0 + 1;
    if (r.v1 <= r.v0) { r.v0 -= 1; r.v1 += 1; }
    double pad = (r.v1 - r.v0) * VALUE_PADDING;
    r.v0 -= pad; r.v1 += pad;
    return r;
}

class Canvas {
public:
    Canvas(Gdiplus::Graphics& g, const PlotRange& range)
        : g_(g), range_(range), family_(FONT_NAME), font_(FamilyOrDefault(), FONT_PIXELS, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel)
    {}

    float X(double t) const { return float(LEFT + (t - range_.t0) / (range_.t1 - range_.t0) * PlotWidth()); }
    float Y(double v) const { return float(TOP + PlotHeight() - (v - range_.v0) / (range_.v1 - range_.v0) * PlotHeight()); }
    static int PlotWidth() { return WIDTH - LEFT - RIGHT; }
    static int PlotHeight() { return HEIGHT - TOP - BOTTOM; }

    // Text anchored at (x, y): horizontally by `horizontal`, vertically centred.
    void Text(float x, float y, const std::string& utf8, Gdiplus::StringAlignment horizontal = Gdiplus::StringAlignmentNear)
    {
        Gdiplus::StringFormat format;
        format.SetAlignment(horizontal);
        format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        Gdiplus::SolidBrush black(Gdiplus::Color(255, 0, 0, 0));
        std::wstring w = Wide(utf8);
        g_.DrawString(w.c_str(), int(w.size()), &font_, Gdiplus::PointF(x, y), &format, &black);
    }

private:
    const Gdiplus::FontFamily* FamilyOrDefault() const
    {
        return family_.IsAvailable() ? &family_ : Gdiplus::FontFamily::GenericSansSerif();
    }

    Gdiplus::Graphics& g_;
    PlotRange range_;
    Gdiplus::FontFamily family_;
    Gdiplus::Font font_;
};

// Grid lines and labels at round values, the frame and the captions; crisp, without smoothing.
void DrawAxes(Gdiplus::Graphics& g, Canvas& c, const PlotRange& r, const std::string& title)
{
    g.SetSmoothingMode(Gdiplus::SmoothingModeNone);
    Gdiplus::Pen grid(Gdiplus::Color(255, 225, 225, 225), 1.0f);
    Gdiplus::Pen frame(Gdiplus::Color(255, 0, 0, 0), 1.0f);
    const float left = LEFT, right = float(LEFT + Canvas::PlotWidth()), top = TOP, bottom = float(TOP + Canvas::PlotHeight());

    AxisTicks values = ChooseTicks(r.v0, r.v1, MOST_TICKS);
    for (int k = 0; k < values.count; ++k) {
        float y = std::round(c.Y(values.Value(k)));
        g.DrawLine(&grid, left, y, right, y);
        c.Text(left - 6, y, values.Label(k), Gdiplus::StringAlignmentFar);
    }
    AxisTicks times = ChooseTicks(r.t0, r.t1, MOST_TICKS);
    for (int k = 0; k < times.count; ++k) {
        float x = std::round(c.X(times.Value(k)));
        g.DrawLine(&grid, x, top, x, bottom);
        c.Text(x, bottom + 14, times.Label(k), Gdiplus::StringAlignmentCenter);
    }
    g.DrawRectangle(&frame, left, top, right - left, bottom - top);

    std::string timeCaption = "time [s]";
    if (!SharedExponentText(times).empty()) timeCaption += " " + SharedExponentText(times);
    c.Text((left + right) / 2, HEIGHT - 22, timeCaption, Gdiplus::StringAlignmentCenter);
    c.Text(left, top - 12, SharedExponentText(values), Gdiplus::StringAlignmentFar);
    c.Text(WIDTH / 2.0f, 16, title, Gdiplus::StringAlignmentCenter);
}

// One series: lines between neighbouring finite samples, dots on short series, a legend entry.
void DrawSeries(Gdiplus::Graphics& g, Canvas& c, const PlotSeries& s, size_t index)
{
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::Color colour(COLOURS[index % COLOUR_COUNT]);
    Gdiplus::Pen pen(colour, 2.0f);
    Gdiplus::SolidBrush dot(colour);
    const size_t n = std::min(s.times.size(), s.values.size());
    std::vector<Gdiplus::PointF> run;
    auto finishRun = [&] {
        if (run.size() > 1) g.DrawLines(&pen, run.data(), int(run.size()));
        run.clear();
    };
    for (size_t i = 0; i < n; ++i) {
        if (!std::isfinite(s.values[i])) { finishRun(); continue; }
        Gdiplus::PointF p(c.X(s.times[i]), c.Y(s.values[i]));
        run.push_back(p);
        if (n < MARKED_POINTS) g.FillEllipse(&dot, p.X - DOT_RADIUS, p.Y - DOT_RADIUS, 2 * DOT_RADIUS, 2 * DOT_RADIUS);
    }
    finishRun();
    const float legendX = WIDTH - RIGHT + 15, legendY = TOP + 18 + float(index) * 20;
    g.DrawLine(&pen, legendX, legendY, legendX + 25, legendY);
    c.Text(legendX + 31, legendY, s.label);
}

}  // namespace

bool WritePlotPng(const std::string& path, const std::string& title, const std::vector<PlotSeries>& series)
{
    GdiplusSession session;
    if (!session.Started()) return false;
    Gdiplus::Bitmap bitmap(WIDTH, HEIGHT, PixelFormat24bppRGB);
    if (bitmap.GetLastStatus() != Gdiplus::Ok) return false;
    {
        Gdiplus::Graphics g(&bitmap);
        g.Clear(Gdiplus::Color(255, 255, 255, 255));
        g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
        PlotRange range = RangeOf(series);
        Canvas canvas(g, range);
        DrawAxes(g, canvas, range, title);
        for (size_t k = 0; k < series.size(); ++k) DrawSeries(g, canvas, series[k], k);
    }
    return SaveImagePng(bitmap, path);
}
