#include "progressbar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace quorvane::cli {
namespace {

constexpr auto kDelay = std::chrono::milliseconds(1000);
constexpr auto kInterval = std::chrono::milliseconds(100);
constexpr int kWidth = 30;

} // namespace

ProgressBar::ProgressBar(std::string label, int64_t total, double seconds, bool enabled)
    : label_(std::move(label)), total_(std::max<int64_t>(total, 1)), seconds_(seconds),
      enabled_(enabled && isatty(STDERR_FILENO) == 1), start_(Clock::now()), lastDraw_(start_) {}

ProgressBar::~ProgressBar() {
    finish();
}

void ProgressBar::update(int64_t done) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < kDelay || (shown_ && now - lastDraw_ < kInterval)) return;
    lastDraw_ = now;
    draw(done);
}

void ProgressBar::draw(int64_t done) {
    // Measure: share done, audio seconds done, speed against real time.
    const double share = std::clamp(static_cast<double>(done) / total_, 0.0, 1.0);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    const double speed = elapsed > 0.0 ? share * seconds_ / elapsed : 0.0;
    // Time left at the pace so far.
    const int left = share > 0.0 ? static_cast<int>(elapsed * (1.0 - share) / share + 0.5) : 0;

    // Draw: one line, rewritten in place.
    const int filled = static_cast<int>(share * kWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '.');
    std::fprintf(stderr, "\r%s [%s] %3d%%  %.1f of %.1f s  %.1fx real time  %d:%02d left\033[K",
                 label_.c_str(), bar.c_str(), static_cast<int>(share * 100.0), share * seconds_,
                 seconds_, speed, left / 60, left % 60);
    std::fflush(stderr);
    shown_ = true;
}

void ProgressBar::finish() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

} // namespace quorvane::cli
