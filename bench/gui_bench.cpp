// Drawing cost of the editor's frame on the headless back end: a full redraw of a 900 x 202
// frame with a background bitmap and a dozen controls, and the idle pass with nothing dirty
// (which must not draw at all) and with one dirty meter.

#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "gui/cparamdisplay.h"
#include "gui/cverticalslider.h"
#include "gui/cverticalswitch.h"
#include "gui/cvumeter.h"
#include "gui/platform/headless/headless.h"
#include "gui/platform/headless/headlesswindow.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace VSTGUI;
namespace headless = quorvane::headless;
namespace raster = quorvane::raster;

// A frame laid out like the editor: background, slider, display, three switches, six meters.
class Panel {
public:
    Panel() {
        headless::reset();
        CBitmap* back = make(960, 900, 202, raster::rgb(60, 60, 70));
        CBitmap* handle = make(961, 14, 12, raster::rgb(200, 200, 200));
        CBitmap* track = make(962, 16, 70, raster::rgb(30, 30, 30));
        CBitmap* on = make(963, 604, 27, raster::rgb(0, 220, 0));
        CBitmap* off = make(964, 604, 27, raster::rgb(0, 60, 0));
        CBitmap* lamps = make(965, 31, 135, raster::rgb(200, 120, 0));
        frame = new CFrame(CRect(0, 0, 900, 202), &parent, nullptr);
        window = headless::lastWindow();
        frame->setBackground(back);
        frame->addView(new CVerticalSlider(CRect(20, 60, 36, 130), nullptr, 0, 65, 123, handle,
                                           track, CPoint(20, 60)));
        auto* display = new CParamDisplay(CRect(10, 140, 70, 160));
        display->setValue(0.42f);
        frame->addView(display);
        for (int32_t i = 0; i < 3; i++)
            frame->addView(new CVerticalSwitch(CRect(80 + 40 * i, 40, 111 + 40 * i, 85), nullptr,
                                               5 + i, 3, 45, 3, lamps, CPoint(0, 0)));
        for (int32_t i = 0; i < 6; i++) {
            auto* meter = new CVuMeter(CRect(250, 10 + 31 * i, 854, 37 + 31 * i), on, off, 40);
            meter->setValue(0.1f * static_cast<float>(i + 2));
            frame->addView(meter);
            meters.push_back(meter);
        }
        for (CBitmap* b : {back, handle, track, on, off, lamps})
            b->forget();
        window->paint({0, 0, 900, 202});
        while (frame->isSomethingDirty())
            frame->idle();
    }
    ~Panel() { frame->forget(); }

    static CBitmap* make(int32_t id, int32_t w, int32_t h, uint32_t colour) {
        headless::registerBitmap(id, raster::PixelBuffer(w, h, colour));
        return new CBitmap(id);
    }

    int parent = 0;
    CFrame* frame = nullptr;
    headless::HeadlessWindow* window = nullptr;
    std::vector<CVuMeter*> meters;
};

void FullRedraw(benchmark::State& state) {
    Panel panel;
    for (auto _ : state)
        panel.frame->draw();
    benchmark::DoNotOptimize(panel.window->pixels().at(450, 100));
}
BENCHMARK(FullRedraw)->Unit(benchmark::kMicrosecond);

void IdleNothingDirty(benchmark::State& state) {
    Panel panel;
    int32_t devices = panel.window->devicesOpened();
    for (auto _ : state)
        panel.frame->idle();
    if (panel.window->devicesOpened() != devices) state.SkipWithError("an idle pass drew");
}
BENCHMARK(IdleNothingDirty);

void IdleOneDirtyMeter(benchmark::State& state) {
    Panel panel;
    CVuMeter* meter = panel.meters[3];
    for (auto _ : state) {
        meter->setDirty(true);
        panel.frame->idle();
    }
    if (panel.frame->isSomethingDirty()) state.SkipWithError("the meter stayed dirty");
}
BENCHMARK(IdleOneDirtyMeter)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
