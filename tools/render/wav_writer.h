// Writes stereo WAV files through libsndfile. The audio goes to a hidden
// temporary file beside the target that is renamed into place only by
// commit(), so a failed or interrupted render leaves no partial WAV.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

namespace render {

enum class SampleFormat { pcm16, pcm24, float32 };

class WavWriter {
public:
    // Throws std::runtime_error naming the path if the file cannot be created.
    WavWriter(const std::string& path, SampleFormat format, int sampleRate);
    ~WavWriter();  // removes the temporary file unless committed
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    void write(const float* left, const float* right, int frames);
    // Closes the file and moves it to its final name.
    void commit();

    const std::string& temporaryPath() const { return tempPath_; }

private:
    std::string path_;
    std::string tempPath_;
    SNDFILE* file_ = nullptr;
    std::vector<float> interleaved_;
};

}  // namespace render
