// A one-line progress bar on stderr, redrawn in place at most ten times a
// second; it draws nothing when disabled (no terminal, or --quiet).
#pragma once

#include <chrono>
#include <cstdint>

namespace render {

class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : enabled_(enabled) {}
    void update(std::int64_t done, std::int64_t total, int sampleRate);
    void finish();  // clears the line

private:
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace render
