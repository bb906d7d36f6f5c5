#pragma once
// A one-line progress bar on standard error for long renders. It appears only when standard
// error is a terminal and the work has run for about a second, and it erases itself at the end.

#include <chrono>
#include <cstdint>
#include <string>

namespace quorvane::cli {

class ProgressBar {
public:
    // total: the amount of work, in frames; seconds: the audio length it stands for.
    // enabled false (for --quiet) keeps the bar silent whatever the terminal.
    ProgressBar(std::string label, int64_t total, double seconds, bool enabled);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Reports done frames; redraws at most ten times a second.
    void update(int64_t done);
    // Erases the bar if it was shown.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    void draw(int64_t done);

    std::string label_;
    int64_t total_;
    double seconds_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
};

} // namespace quorvane::cli
