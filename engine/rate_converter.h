// Streams the model's output, rendered at its own fixed rate, to the host's
// sample rate with a band-limited (sinc) converter. The converter pulls model
// frames on demand from a render callback and hands out exactly the frames the
// host asks for, after a fixed latency of silent frames that keeps the model
// rendered no further ahead than the events already known.
//
// Everything is sized in configure(); reset() and process() allocate nothing.
#pragma once

#include <cstdint>
#include <vector>

struct SRC_STATE_tag;

class RateConverter {
public:
    static constexpr double kModelRate = 44100.0;

    // Renders `frames` model-rate frames into two planar buffers.
    using RenderFunction = void (*)(void* context, float* left, float* right, int frames);

    RateConverter() = default;
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;
    ~RateConverter();

    // Prepares conversion from the model rate to hostRate for host pieces of
    // up to maxHostFrames. Returns false (and leaves the converter unusable)
    // when the converter cannot be had. Not for the audio thread.
    bool configure(double hostRate, int maxHostFrames);
    bool ready() const { return state_ != nullptr; }

    // Forgets all audio in flight: the next frames start with the latency's
    // silence again and the model timeline restarts at the current frame.
    void reset();

    // Host frames of delay between an event and its sound, the same after
    // every reset.
    int latency() const { return latency_; }
    int maxHostFrames() const { return maxHostFrames_; }

    // Model frames from the model's next unrendered frame to the frame where
    // an event `hostDelta` host frames into the coming block takes effect.
    long modelDelta(long hostDelta) const;

    // Writes `frames` (at most maxHostFrames) host-rate frames.
    void process(float* left, float* right, int frames, RenderFunction render, void* context);

private:
    // Makes room for and renders `frames` model frames after those waiting.
    void renderInto(int frames, RenderFunction render, void* context);

    SRC_STATE_tag* state_ = nullptr;
    double hostRate_ = kModelRate;
    double ratio_ = 1.0;       // host frames per model frame
    int lookahead_ = 0;        // model frames the converter reads beyond the time of its output
    int latency_ = 0;          // host frames
    int maxHostFrames_ = 0;
    int inCapacity_ = 0;       // model frames the input store holds

    std::vector<float> modelLeft_, modelRight_;  // one rendered run, planar
    std::vector<float> input_;                   // model frames waiting, interleaved
    std::vector<float> output_;                  // converted frames, interleaved
    int inStart_ = 0;
    int inCount_ = 0;

    std::int64_t hostDone_ = 0;   // host frames handed out since the reset
    std::int64_t converted_ = 0;  // frames the converter produced since the reset
    std::int64_t modelDone_ = 0;  // model frames rendered since the reset
};
