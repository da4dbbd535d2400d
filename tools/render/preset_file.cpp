#include "tools/render/preset_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tools/render/temporary_path.h"

namespace render {

namespace {

constexpr VstInt32 kChunkMagic = vstFourCC('C', 'c', 'n', 'K');
constexpr VstInt32 kProgramMagic = vstFourCC('F', 'P', 'C', 'h');
constexpr VstInt32 kBankMagic = vstFourCC('F', 'B', 'C', 'h');
constexpr VstInt32 kParamProgramMagic = vstFourCC('F', 'x', 'C', 'k');
constexpr VstInt32 kParamBankMagic = vstFourCC('F', 'x', 'B', 'k');
constexpr std::size_t kNameSize = 28;
// Bytes before the chunk data: magic, size, kind, version, ID, plug-in
// version, count, then the name (program) or 128 reserved bytes (bank), then
// the chunk size.
constexpr std::size_t kProgramHeader = 7 * 4 + kNameSize + 4;
constexpr std::size_t kBankHeader = 7 * 4 + 128 + 4;
constexpr std::size_t kMaxChunk = 64u << 20;

void put32(std::vector<std::uint8_t>& out, VstInt32 value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

VstInt32 get32(std::span<const std::uint8_t> in, std::size_t at) {
    return static_cast<VstInt32>((std::uint32_t{in[at]} << 24) | (std::uint32_t{in[at + 1]} << 16) |
                                 (std::uint32_t{in[at + 2]} << 8) | std::uint32_t{in[at + 3]});
}

std::string fourCC(VstInt32 id) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((id >> shift) & 0xFF);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return "'" + s + "'";
}

}  // namespace

std::vector<std::uint8_t> encodePreset(const PresetFile& preset) {
    const bool bank = preset.kind == PresetKind::bank;
    const std::size_t total = (bank ? kBankHeader : kProgramHeader) + preset.chunk.size();
    std::vector<std::uint8_t> out;
    out.reserve(total);
    put32(out, kChunkMagic);
    put32(out, static_cast<VstInt32>(total - 8));
    put32(out, bank ? kBankMagic : kProgramMagic);
    put32(out, bank ? 2 : 1);  // format version; bank version 2 carries the current program
    put32(out, preset.pluginId);
    put32(out, preset.pluginVersion);
    put32(out, preset.count);
    if (bank) {
        put32(out, std::max<VstInt32>(preset.currentProgram, 0));
        out.resize(out.size() + 124, 0);
    } else {
        const std::size_t start = out.size();
        out.resize(start + kNameSize, 0);
        std::memcpy(out.data() + start, preset.programName.data(),
                    std::min(preset.programName.size(), kNameSize - 1));
    }
    put32(out, static_cast<VstInt32>(preset.chunk.size()));
    out.insert(out.end(), preset.chunk.begin(), preset.chunk.end());
    return out;
}

PresetFile decodePreset(std::span<const std::uint8_t> in, const std::string& fileName) {
    auto fail = [&](const std::string& what) -> PresetError { return PresetError(fileName + ": " + what); };
    if (in.size() < 4 * 7 || get32(in, 0) != kChunkMagic) throw fail("not a VST preset file (no 'CcnK' header)");
    const VstInt32 magic = get32(in, 8);
    if (magic == kParamProgramMagic || magic == kParamBankMagic)
        throw fail("the preset holds parameter values, but this plug-in keeps its state in chunks");
    if (magic != kProgramMagic && magic != kBankMagic)
        throw fail("unknown preset kind " + fourCC(magic) + " (expected 'FPCh' or 'FBCh')");
    PresetFile preset;
    preset.kind = magic == kBankMagic ? PresetKind::bank : PresetKind::program;
    const std::size_t header = preset.kind == PresetKind::bank ? kBankHeader : kProgramHeader;
    const auto byteSize = static_cast<std::uint32_t>(get32(in, 4));
    if (std::uint64_t{byteSize} + 8 != in.size())
        throw fail("header says " + std::to_string(std::uint64_t{byteSize} + 8) + " bytes, the file has " +
                   std::to_string(in.size()));
    if (in.size() < header) throw fail("file too short for its header");
    const VstInt32 version = get32(in, 12);
    if (version < 1 || version > 2) throw fail("unknown preset format version " + std::to_string(version));
    preset.pluginId = get32(in, 16);
    preset.pluginVersion = get32(in, 20);
    preset.count = get32(in, 24);
    if (preset.kind == PresetKind::bank) {
        if (version == 2) preset.currentProgram = get32(in, 28);
    } else {
        const char* name = reinterpret_cast<const char*>(in.data() + 28);
        preset.programName.assign(name, strnlen(name, kNameSize));
    }
    const auto chunkSize = static_cast<std::uint32_t>(get32(in, header - 4));
    if (chunkSize != in.size() - header)
        throw fail("chunk size " + std::to_string(chunkSize) + " does not match the " +
                   std::to_string(in.size() - header) + " bytes that follow the header");
    preset.chunk.assign(in.begin() + static_cast<std::ptrdiff_t>(header), in.end());
    return preset;
}

std::optional<PresetKind> presetKindOfPath(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".fxb") return PresetKind::bank;
    if (ext == ".fxp") return PresetKind::program;
    return std::nullopt;
}

PresetFile capturePreset(vsthost::PluginInstance& plugin, PresetKind kind) {
    AEffect* e = plugin.effect();
    if (!(e->flags & effFlagsProgramChunks)) throw PresetError("the plug-in does not keep its state in chunks");
    const bool program = kind == PresetKind::program;
    void* data = nullptr;
    const VstIntPtr size = plugin.dispatch(effGetChunk, program ? 1 : 0, 0, &data);
    if (size <= 0 || !data) throw PresetError("the plug-in gave no state chunk");
    PresetFile preset;
    preset.kind = kind;
    preset.pluginId = e->uniqueID;
    preset.pluginVersion = e->version;
    preset.count = program ? e->numParams : e->numPrograms;
    preset.currentProgram = program ? -1 : static_cast<VstInt32>(plugin.dispatch(effGetProgram));
    if (program) preset.programName = plugin.getString(effGetProgramName);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    preset.chunk.assign(bytes, bytes + size);
    return preset;
}

void applyPreset(vsthost::PluginInstance& plugin, const PresetFile& preset, const std::string& fileName) {
    AEffect* e = plugin.effect();
    auto fail = [&](const std::string& what) { return PresetError(fileName + ": " + what); };
    if (preset.pluginId != e->uniqueID)
        throw fail("preset of plug-in " + fourCC(preset.pluginId) + ", not of this plug-in " + fourCC(e->uniqueID));
    if (!(e->flags & effFlagsProgramChunks)) throw fail("the plug-in does not keep its state in chunks");
    const bool program = preset.kind == PresetKind::program;
    // Compare with the size the plug-in itself hands out for the same kind.
    void* current = nullptr;
    const VstIntPtr expected = plugin.dispatch(effGetChunk, program ? 1 : 0, 0, &current);
    if (expected > 0 && static_cast<VstIntPtr>(preset.chunk.size()) != expected)
        throw fail(std::string(program ? "program" : "bank") + " chunk of " + std::to_string(preset.chunk.size()) +
                   " bytes; the plug-in's is " + std::to_string(expected) + " bytes");
    std::vector<std::uint8_t> copy = preset.chunk;  // the plug-in may keep reading from what it is given
    const VstIntPtr taken = plugin.dispatch(effSetChunk, program ? 1 : 0, static_cast<VstIntPtr>(copy.size()),
                                            copy.data());
    if (taken == 0) throw fail("the plug-in refused the chunk");
    if (!program && preset.currentProgram >= 0 && preset.currentProgram < e->numPrograms)
        plugin.dispatch(effSetProgram, 0, preset.currentProgram);
}

PresetFile readPresetFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw PresetError(path + ": cannot open: " + std::strerror(errno));
    std::vector<std::uint8_t> bytes;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
        if (bytes.size() > kMaxChunk + kBankHeader) throw PresetError(path + ": too large for a preset file");
    }
    return decodePreset(bytes, path);
}

void writePresetFile(const std::string& path, const PresetFile& preset) {
    const std::vector<std::uint8_t> bytes = encodePreset(preset);
    const std::filesystem::path target(path);
    const std::filesystem::path temp = temporaryPathFor(path);
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        if (!file) throw PresetError(path + ": cannot write: " + std::strerror(errno));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            std::filesystem::remove(temp);
            throw PresetError(path + ": cannot write");
        }
    }
    std::error_code error;
    std::filesystem::rename(temp, target, error);
    if (error) {
        std::filesystem::remove(temp);
        throw PresetError(path + ": cannot write: " + error.message());
    }
}

}  // namespace render
