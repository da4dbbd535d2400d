#include "tools/render/smf_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/render/tempo_map.h"

namespace render {

SmfError::SmfError(const std::string& fileName, std::size_t offset, const std::string& what)
    : std::runtime_error(fileName + ": byte " + std::to_string(offset) + ": " + what), offset_(offset) {}

namespace {

constexpr std::size_t kMaxFileSize = 64u << 20;
constexpr std::int64_t kMaxSeconds = 24 * 3600;

// An event of one track before the tracks are merged.
struct TrackEvent {
    std::int64_t tick;
    bool isTempo;
    std::uint32_t tempo;
    TimedMidi midi;
};

class Reader {
public:
    Reader(std::span<const std::uint8_t> bytes, const std::string& name) : bytes_(bytes), name_(name) {}

    [[noreturn]] void fail(std::size_t at, const std::string& what) const { throw SmfError(name_, at, what); }

    std::size_t pos() const { return pos_; }
    std::size_t size() const { return bytes_.size(); }
    void seek(std::size_t at) { pos_ = at; }

    // Reads are bounded by limit, the end of the chunk being read.
    void need(std::size_t count, std::size_t limit, const char* what) const {
        if (count > limit - pos_) {
            if (limit == bytes_.size())
                fail(pos_, std::string("file ends inside ") + what);
            fail(pos_, std::string(what) + " runs past the end of its track chunk");
        }
    }
    std::uint8_t u8(std::size_t limit, const char* what) {
        need(1, limit, what);
        return bytes_[pos_++];
    }
    std::uint32_t u16(std::size_t limit, const char* what) {
        need(2, limit, what);
        std::uint32_t v = (bytes_[pos_] << 8) | bytes_[pos_ + 1];
        pos_ += 2;
        return v;
    }
    std::uint32_t u32(std::size_t limit, const char* what) {
        need(4, limit, what);
        std::uint32_t v = (std::uint32_t{bytes_[pos_]} << 24) | (bytes_[pos_ + 1] << 16) |
                          (bytes_[pos_ + 2] << 8) | bytes_[pos_ + 3];
        pos_ += 4;
        return v;
    }
    // Variable-length quantity: at most four bytes, seven bits each.
    std::uint32_t vlq(std::size_t limit, const char* what) {
        const std::size_t start = pos_;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = u8(limit, what);
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return v;
        }
        fail(start, std::string(what) + " is longer than four bytes");
    }
    bool startsWith(const char* tag) const {
        return bytes_.size() - pos_ >= 4 && std::memcmp(bytes_.data() + pos_, tag, 4) == 0;
    }

private:
    std::span<const std::uint8_t> bytes_;
    const std::string& name_;
    std::size_t pos_ = 0;
};

int dataBytesOf(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

// Reads one MTrk body from the reader's position up to end, appending to events.
// Returns the tick of its end-of-track event.
std::int64_t readTrack(Reader& in, std::size_t end, std::vector<TrackEvent>& events) {
    std::int64_t tick = 0;
    std::uint8_t running = 0;  // 0: no running status in force
    while (true) {
        if (in.pos() == end) in.fail(end, "track ends without an end-of-track event");
        tick += in.vlq(end, "event time");
        const std::size_t at = in.pos();
        std::uint8_t status = in.u8(end, "event");
        std::uint8_t first = 0;
        bool haveFirst = false;
        if (status < 0x80) {
            if (!running) in.fail(at, "data byte without a status byte");
            first = status;
            haveFirst = true;
            status = running;
        }
        if (status == 0xFF) {
            running = 0;
            const std::uint8_t type = in.u8(end, "meta event");
            const std::uint32_t length = in.vlq(end, "meta event length");
            const std::size_t dataAt = in.pos();
            in.need(length, end, "meta event");
            if (type == 0x2F) {
                if (length != 0) in.fail(at, "end-of-track event with data");
                if (dataAt != end) in.fail(dataAt, "data after the end-of-track event");
                return tick;
            }
            if (type == 0x51) {
                if (length != 3) in.fail(at, "tempo event of " + std::to_string(length) + " bytes, not 3");
                std::uint32_t tempo = in.u8(end, "tempo");
                tempo = (tempo << 8) | in.u8(end, "tempo");
                tempo = (tempo << 8) | in.u8(end, "tempo");
                if (tempo == 0) in.fail(at, "tempo of 0 microseconds per quarter note");
                events.push_back({tick, true, tempo, {}});
                continue;
            }
            in.seek(dataAt + length);
        } else if (status == 0xF0 || status == 0xF7) {
            running = 0;
            const std::uint32_t length = in.vlq(end, "system-exclusive length");
            in.need(length, end, "system-exclusive event");
            in.seek(in.pos() + length);
        } else if (status >= 0xF0) {
            in.fail(at, "system message with status " + std::to_string(status) + " is not allowed in a MIDI file");
        } else {
            running = status;
            TimedMidi midi;
            midi.bytes[0] = status;
            midi.size = static_cast<std::uint8_t>(1 + dataBytesOf(status));
            for (int i = 1; i < midi.size; ++i) {
                const std::size_t byteAt = in.pos();
                const std::uint8_t b = (i == 1 && haveFirst) ? first : in.u8(end, "channel message");
                if (b & 0x80) in.fail(byteAt, "status byte where a data byte belongs");
                midi.bytes[i] = b;
            }
            events.push_back({tick, false, 0, midi});
        }
    }
}

}  // namespace

MidiSong parseSmf(std::span<const std::uint8_t> bytes, const std::string& fileName, int sampleRate) {
    Reader in(bytes, fileName);
    const std::size_t fileEnd = bytes.size();
    if (!in.startsWith("MThd")) in.fail(0, "not a Standard MIDI File (no MThd header)");
    in.seek(4);
    const std::uint32_t headerLength = in.u32(fileEnd, "header");
    if (headerLength < 6) in.fail(4, "header chunk of " + std::to_string(headerLength) + " bytes, needs 6");
    if (headerLength > fileEnd - in.pos())
        in.fail(4, "header chunk length " + std::to_string(headerLength) + " runs past the end of the file");
    const std::size_t headerEnd = in.pos() + headerLength;
    const std::uint32_t format = in.u16(headerEnd, "header");
    const std::uint32_t trackCount = in.u16(headerEnd, "header");
    const std::uint32_t division = in.u16(headerEnd, "header");
    if (format == 2) in.fail(8, "format 2 (independent sequences) is not supported");
    if (format > 2) in.fail(8, "unknown format " + std::to_string(format));
    if (trackCount == 0) in.fail(10, "no tracks");
    if (format == 0 && trackCount != 1)
        in.fail(10, "format 0 file with " + std::to_string(trackCount) + " tracks");

    TempoMap tempo = TempoMap::metrical(1, sampleRate);
    if (division & 0x8000) {
        const int fps = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
        const int ticksPerFrame = division & 0xFF;
        if (fps != 24 && fps != 25 && fps != 29 && fps != 30)
            in.fail(12, "SMPTE division with " + std::to_string(fps) + " frames per second");
        if (ticksPerFrame == 0) in.fail(12, "SMPTE division with 0 ticks per frame");
        tempo = TempoMap::smpte(fps, ticksPerFrame, sampleRate);
    } else {
        if (division == 0) in.fail(12, "division of 0 ticks per quarter note");
        tempo = TempoMap::metrical(static_cast<int>(division), sampleRate);
    }
    in.seek(headerEnd);

    std::vector<TrackEvent> events;
    std::int64_t endTick = 0;
    std::uint32_t tracksRead = 0;
    while (tracksRead < trackCount || in.pos() < fileEnd) {
        const std::size_t chunkAt = in.pos();
        if (fileEnd - chunkAt < 8) {
            if (tracksRead < trackCount)
                in.fail(chunkAt, "file ends before track " + std::to_string(tracksRead + 1) + " of " +
                                     std::to_string(trackCount));
            in.fail(chunkAt, std::to_string(fileEnd - chunkAt) + " stray bytes after the last track");
        }
        const bool isTrack = in.startsWith("MTrk");
        in.seek(chunkAt + 4);
        const std::uint32_t length = in.u32(fileEnd, "chunk header");
        if (length > fileEnd - in.pos())
            in.fail(chunkAt + 4, "chunk length " + std::to_string(length) + " runs past the end of the file (" +
                                     std::to_string(fileEnd - in.pos()) + " bytes left)");
        const std::size_t chunkEnd = in.pos() + length;
        if (isTrack) {
            if (tracksRead == trackCount)
                in.fail(chunkAt, "more track chunks than the " + std::to_string(trackCount) + " in the header");
            endTick = std::max(endTick, readTrack(in, chunkEnd, events));
            ++tracksRead;
        }
        // Chunks of other types are skipped, as the file format asks.
        in.seek(chunkEnd);
    }

    // Merge: by tick, then track, then position in the track (stable sort of
    // the tracks laid end to end).
    std::stable_sort(events.begin(), events.end(),
                     [](const TrackEvent& a, const TrackEvent& b) { return a.tick < b.tick; });
    for (const TrackEvent& e : events)
        if (e.isTempo) tempo.setTempo(e.tick, e.tempo);

    MidiSong song;
    song.events.reserve(events.size());
    for (const TrackEvent& e : events) {
        if (e.isTempo) continue;
        TimedMidi midi = e.midi;
        midi.frame = tempo.frameAt(e.tick);
        song.events.push_back(midi);
    }
    song.endFrame = tempo.frameAt(endTick);
    if (!song.events.empty()) song.endFrame = std::max(song.endFrame, song.events.back().frame);
    if (song.endFrame > kMaxSeconds * sampleRate)
        in.fail(fileEnd, "the piece lasts more than " + std::to_string(kMaxSeconds / 3600) + " hours");
    return song;
}

MidiSong readSmfFile(const std::string& path, int sampleRate) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error(path + ": cannot open: " + std::strerror(errno));
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0) throw std::runtime_error(path + ": cannot read");
    if (static_cast<std::uint64_t>(size) > kMaxFileSize)
        throw std::runtime_error(path + ": " + std::to_string(size) + " bytes is too large for a MIDI file");
    file.seekg(0);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), size))
        throw std::runtime_error(path + ": cannot read");
    return parseSmf(bytes, path, sampleRate);
}

}  // namespace render
