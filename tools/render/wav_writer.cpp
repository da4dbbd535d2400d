#include "tools/render/wav_writer.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "tools/render/temporary_path.h"

namespace render {

WavWriter::WavWriter(const std::string& path, SampleFormat format, int sampleRate) : path_(path) {
    tempPath_ = temporaryPathFor(path);
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | (format == SampleFormat::pcm16   ? SF_FORMAT_PCM_16
                                   : format == SampleFormat::pcm24 ? SF_FORMAT_PCM_24
                                                                   : SF_FORMAT_FLOAT);
    file_ = sf_open(tempPath_.c_str(), SFM_WRITE, &info);
    if (!file_) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    // Samples at or beyond full scale are clipped, never wrapped around.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

WavWriter::~WavWriter() {
    if (file_) {
        sf_close(file_);
        std::remove(tempPath_.c_str());
    }
}

void WavWriter::write(const float* left, const float* right, int frames) {
    interleaved_.resize(2 * static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        interleaved_[2 * i] = left[i];
        interleaved_[2 * i + 1] = right[i];
    }
    if (sf_writef_float(file_, interleaved_.data(), frames) != frames)
        throw std::runtime_error("cannot write " + path_ + ": " + sf_strerror(file_));
}

void WavWriter::commit() {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) {
        std::remove(tempPath_.c_str());
        throw std::runtime_error("cannot write " + path_ + ": " + sf_error_number(closed));
    }
    std::error_code error;
    std::filesystem::rename(tempPath_, path_, error);
    if (error) {
        std::remove(tempPath_.c_str());
        throw std::runtime_error("cannot write " + path_ + ": " + error.message());
    }
}

}  // namespace render
