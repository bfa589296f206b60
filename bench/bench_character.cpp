// Figures of the character window:
//   - building all eight shapes from the shipped frames (held to under 1 ms);
//   - one flight step (move, shape, picture) of a window offscreen, and the pixels it
//     reads (held to none), against rebuilding the shape of one frame from its pixels.

#include "character/Form1Window.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace pelloway;
using Clock = std::chrono::steady_clock;

namespace {

// The median of the given number of runs, in microseconds.
template <class F> double medianMicros(int runs, F&& work)
{
    std::vector<double> times;
    times.reserve(std::size_t(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[std::size_t(runs / 2)];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    bool ok = true;

    const FramePictures pictures = FramePictures::Shipped();
    FrameRegions regions;
    const double build = medianMicros(500, [&] { regions.BuildFrameRegions(pictures); });
    std::printf("character: build all eight shapes   %8.1f us   (limit 1000 us)   %s\n", build,
                build < 1000 ? "ok" : "OVER");
    ok = ok && build < 1000;

    const double one = medianMicros(500, [&] { (void)BuildFrameRegion(pictures, 0); });

    Form1Window window([] {});
    window.Show();
    Form1& form = window.form().get();
    form.Timer1->stop();
    const std::uint64_t readsBefore = window.state().Pictures.PixelReads();
    constexpr int steps = 2000;
    const double step = medianMicros(steps, [&] { form.Timer1_Timer(); });
    const std::uint64_t stepReads = window.state().Pictures.PixelReads() - readsBefore;
    std::printf("character: one flight step          %8.1f us   (shape from pixels of one frame: %.1f us, "
                "%.1fx)\n",
                step, one, one / std::max(step, 0.001));
    std::printf("character: pixels read by %d steps %6llu      (limit 0)         %s\n", steps,
                static_cast<unsigned long long>(stepReads), stepReads == 0 ? "ok" : "OVER");
    ok = ok && stepReads == 0;
    return ok ? 0 : 1;
}
