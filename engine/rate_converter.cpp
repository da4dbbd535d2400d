#include "engine/rate_converter.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/limit_sample.h"

namespace {

// Model frames rendered beyond what the converter is known to need: room for
// rounding and for the rare extra run when the converter asks for more.
constexpr int kSlack = 16;
// A starved converter gets this many more model frames at a time.
constexpr int kTopUp = 8;
// Top-ups in one call after which the rest of the call is silence rather
// than a hang (never reached with a working converter).
constexpr int kMaxTopUps = 64;

// The medium sinc converter: distortion and aliasing far below the model's own
// noise floor at a fraction of the best converter's cost, a short filter, and
// no allocation while it runs.
constexpr int kConverterType = SRC_SINC_MEDIUM_QUALITY;

// Model frames the converter reads ahead of the time of the frame it outputs,
// found by feeding silence one frame at a time.
int measureLookahead(SRC_STATE* state, double ratio) {
    float in[2] = {0.0f, 0.0f};
    float out[2 * 16];
    std::int64_t fed = 0, produced = 0;
    double most = 0.0;
    for (int i = 0; i < 4096; ++i) {
        SRC_DATA data{};
        data.data_in = in;
        data.input_frames = 1;
        data.data_out = out;
        data.output_frames = 16;
        data.src_ratio = ratio;
        if (src_process(state, &data) != 0) return -1;
        fed += data.input_frames_used;
        produced += data.output_frames_gen;
        most = std::max(most, static_cast<double>(fed) - static_cast<double>(produced) / ratio);
    }
    src_reset(state);
    return static_cast<int>(std::ceil(most));
}

}  // namespace

RateConverter::~RateConverter() {
    if (state_) src_delete(state_);
}

bool RateConverter::configure(double hostRate, int maxHostFrames) {
    if (state_) state_ = src_delete(state_);
    if (!(hostRate > 0.0) || maxHostFrames <= 0) return false;
    int error = 0;
    SRC_STATE* state = src_new(kConverterType, 2, &error);
    if (!state) return false;
    const double ratio = hostRate / kModelRate;
    const int lookahead = measureLookahead(state, ratio);
    if (lookahead < 0) {
        src_delete(state);
        return false;
    }
    hostRate_ = hostRate;
    ratio_ = ratio;
    lookahead_ = lookahead;
    // An event at host frame H sounds at H + latency, from model time H / ratio.
    // By then the model may have been rendered up to the converter's lookahead
    // (plus slack) past the last frame handed out, so the latency covers that.
    latency_ = static_cast<int>(std::ceil((lookahead_ + kSlack) * ratio_));
    maxHostFrames_ = maxHostFrames;
    // One piece needs maxHostFrames / ratio model frames, plus the lookahead
    // and slack, plus frames left waiting from the piece before.
    inCapacity_ = static_cast<int>(std::ceil(maxHostFrames / ratio_)) + 2 * (lookahead_ + kSlack) + kMaxTopUps * kTopUp;
    modelLeft_.assign(static_cast<std::size_t>(inCapacity_), 0.0f);
    modelRight_.assign(static_cast<std::size_t>(inCapacity_), 0.0f);
    input_.assign(2 * static_cast<std::size_t>(inCapacity_), 0.0f);
    output_.assign(2 * static_cast<std::size_t>(maxHostFrames), 0.0f);
    state_ = state;
    reset();
    return true;
}

void RateConverter::reset() {
    if (state_) src_reset(state_);
    inStart_ = inCount_ = 0;
    hostDone_ = converted_ = modelDone_ = 0;
}

long RateConverter::modelDelta(long hostDelta) const {
    const double at = std::llround(static_cast<double>(hostDone_ + hostDelta) / ratio_);
    return static_cast<long>(at - static_cast<double>(modelDone_));
}

void RateConverter::renderInto(int frames, RenderFunction render, void* context) {
    if (inStart_ > 0) {
        std::memmove(input_.data(), input_.data() + 2 * inStart_, sizeof(float) * 2 * static_cast<std::size_t>(inCount_));
        inStart_ = 0;
    }
    frames = std::min(frames, inCapacity_ - inCount_);
    if (frames <= 0) return;
    render(context, modelLeft_.data(), modelRight_.data(), frames);
    float* to = input_.data() + 2 * inCount_;
    for (int f = 0; f < frames; ++f) {
        to[2 * f] = modelLeft_[f];
        to[2 * f + 1] = modelRight_[f];
    }
    inCount_ += frames;
    modelDone_ += frames;
}

void RateConverter::process(float* left, float* right, int frames, RenderFunction render, void* context) {
    frames = std::clamp(frames, 0, maxHostFrames_);
    int done = 0;
    if (hostDone_ < latency_) {
        done = static_cast<int>(std::min<std::int64_t>(frames, latency_ - hostDone_));
        std::fill(left, left + done, 0.0f);
        std::fill(right, right + done, 0.0f);
        hostDone_ += done;
    }
    if (!state_) {
        std::fill(left + done, left + frames, 0.0f);
        std::fill(right + done, right + frames, 0.0f);
        return;
    }
    // The model frames the converter needs to reach the end of this piece.
    const std::int64_t target = converted_ + (frames - done);
    const auto needed = static_cast<std::int64_t>(std::ceil(static_cast<double>(target) / ratio_)) + lookahead_;
    if (needed > modelDone_) renderInto(static_cast<int>(needed - modelDone_), render, context);

    int topUps = 0;
    while (done < frames) {
        SRC_DATA data{};
        data.data_in = input_.data() + 2 * inStart_;
        data.input_frames = inCount_;
        data.data_out = output_.data();
        data.output_frames = frames - done;
        data.src_ratio = ratio_;
        const bool failed = src_process(state_, &data) != 0;
        const auto used = static_cast<int>(data.input_frames_used);
        const auto made = static_cast<int>(data.output_frames_gen);
        inStart_ += used;
        inCount_ -= used;
        for (int f = 0; f < made; ++f) {
            left[done + f] = limitSample(output_[2 * f]);
            right[done + f] = limitSample(output_[2 * f + 1]);
        }
        done += made;
        converted_ += made;
        hostDone_ += made;
        if (done == frames) break;
        if (failed || made == 0) {
            if (failed || ++topUps > kMaxTopUps) {
                std::fill(left + done, left + frames, 0.0f);
                std::fill(right + done, right + frames, 0.0f);
                hostDone_ += frames - done;
                converted_ += frames - done;
                return;
            }
            renderInto(kTopUp, render, context);
        }
    }
}
