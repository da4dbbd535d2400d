// The host's request for a block of stereo audio.
#include <algorithm>

#include "host/pelmar.h"

void pelmar::processReplacing(float**, float** outputs, VstInt32 sampleFrames) {
    if (suspended.load()) return;  // a suspended plug-in leaves the host's buffers as they are
    if (sampleFrames <= 0 || !outputs || !outputs[0] || !outputs[1]) return;
    // No string is simulated yet: the block is silent.
    std::fill(outputs[0], outputs[0] + sampleFrames, 0.0f);
    std::fill(outputs[1], outputs[1] + sampleFrames, 0.0f);
}
