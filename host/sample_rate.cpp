// The host's sample rate. The model always runs at 44100 frames per second;
// at that host rate its output goes to the host as it is, and at any other
// rate through the rate converter, whose delay is reported to the host as the
// plug-in's initial delay. Event offsets from the host are mapped onto the
// model's timeline so each note starts where the host placed it.
#include <algorithm>
#include <cmath>

#include "host/pelmar.h"

namespace {

constexpr float kLowestRate = 22050.0f;
constexpr float kHighestRate = 192000.0f;

void renderModel(void* context, float* left, float* right, int frames) {
    float* outputs[2] = {left, right};
    static_cast<pelmar*>(context)->renderModelRate(nullptr, outputs, frames);
}

}  // namespace

void pelmar::setSampleRate(float rate) {
    // Out of range or not a number: the last good rate stays.
    if (!std::isfinite(rate) || rate < kLowestRate || rate > kHighestRate) return;
    AudioEffectX::setSampleRate(rate);
    configureRateConverter();
}

void pelmar::configureRateConverter() {
    const float rate = getSampleRate();
    int delay = 0;
    convertingRate = rate != static_cast<float>(RateConverter::kModelRate);
    if (convertingRate && rateConverter.configure(rate, std::min(getBlockSize(), kMaxMixFrames)))
        delay = rateConverter.latency();
    rateResetPending.store(false);
    if (delay != cEffect.initialDelay) {
        setInitialDelay(delay);
        ioChanged();
    }
}

void pelmar::takeRateReset() {
    if (rateResetPending.load(std::memory_order_relaxed) && rateResetPending.exchange(false)) rateConverter.reset();
}

long pelmar::modelDelta(long hostDelta) {
    if (!convertingRate) return hostDelta;
    takeRateReset();
    return rateConverter.modelDelta(hostDelta);
}

void pelmar::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    if (!convertingRate) {
        renderModelRate(inputs, outputs, sampleFrames);
        return;
    }
    if (suspended.load()) return;  // the host's buffers stay as they are
    if (!outputs || !outputs[0] || !outputs[1]) return;
    takeRateReset();
    if (sampleFrames <= 0) {
        parameterProcess();
        return;
    }
    float* left = outputs[0];
    float* right = outputs[1];
    if (mixFrames <= 0 || !rateConverter.ready()) {  // nothing to render with: silence
        std::fill(left, left + sampleFrames, 0.0f);
        std::fill(right, right + sampleFrames, 0.0f);
        return;
    }
    // A host block longer than the converter's buffers is converted in pieces.
    const int piece = rateConverter.maxHostFrames();
    for (VstInt32 done = 0; done < sampleFrames;) {
        const int n = std::min(piece, sampleFrames - done);
        rateConverter.process(left + done, right + done, n, renderModel, this);
        done += n;
    }
}
