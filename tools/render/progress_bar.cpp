#include "tools/render/progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace render {

void ProgressBar::update(std::int64_t done, std::int64_t total, int sampleRate) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    drawn_ = true;
    constexpr int kWidth = 40;
    // Past the song's end the notes ring out; the bar stays full meanwhile.
    const double fraction = total > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : 1.0;
    const int filled = static_cast<int>(fraction * kWidth);
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kWidth - filled), '-');
    std::fprintf(stderr, "\r[%s] %3d%%  %6.1f s%s", bar.c_str(), static_cast<int>(fraction * 100.0),
                 static_cast<double>(done) / sampleRate, done > total ? "  ringing out" : "             ");
    std::fflush(stderr);
}

void ProgressBar::finish() {
    if (!enabled_ || !drawn_) return;
    std::fprintf(stderr, "\r%80s\r", "");
    std::fflush(stderr);
}

}  // namespace render
