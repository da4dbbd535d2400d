// A small, strict reader of Standard MIDI Files (format 0 and 1). All tracks
// are merged into one list of channel messages on output frames; meta and
// system-exclusive events are read past. Anything malformed or truncated is
// an error that names the file and the byte offset of the fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "tools/render/midi_song.h"

namespace render {

class SmfError : public std::runtime_error {
public:
    SmfError(const std::string& fileName, std::size_t offset, const std::string& what);
    std::size_t offset() const { return offset_; }

private:
    std::size_t offset_;
};

// fileName is used only in error messages.
MidiSong parseSmf(std::span<const std::uint8_t> bytes, const std::string& fileName,
                  int sampleRate = kSampleRate);

// Reads the file and parses it; a file that cannot be read is an error too.
MidiSong readSmfFile(const std::string& path, int sampleRate = kSampleRate);

}  // namespace render
