// Standard VST preset files carrying a plug-in's opaque chunk: .fxp for one
// program ('FPCh') and .fxb for the whole bank ('FBCh'), each behind the
// big-endian 'CcnK' header that hosts write.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/vsthost/plugin_host.h"

namespace render {

class PresetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class PresetKind { program, bank };

struct PresetFile {
    PresetKind kind = PresetKind::program;
    VstInt32 pluginId = 0;
    VstInt32 pluginVersion = 0;
    VstInt32 count = 0;            // parameters (program file) or programs (bank file)
    VstInt32 currentProgram = -1;  // bank files of version 2 record it; -1 when absent
    std::string programName;       // program files only
    std::vector<std::uint8_t> chunk;
};

std::vector<std::uint8_t> encodePreset(const PresetFile& preset);
// Checks magic numbers and every size against the bytes; fileName is used
// only in messages.
PresetFile decodePreset(std::span<const std::uint8_t> bytes, const std::string& fileName);

// The kind a file name asks for: .fxb is a bank, .fxp a program; nullopt otherwise.
std::optional<PresetKind> presetKindOfPath(const std::string& path);

// Takes the plug-in's current program or bank as a preset.
PresetFile capturePreset(vsthost::PluginInstance& plugin, PresetKind kind);
// Hands a preset to the plug-in: refuses another plug-in's ID and chunks the
// plug-in does not take. A bank's current program is selected when it has one.
void applyPreset(vsthost::PluginInstance& plugin, const PresetFile& preset, const std::string& fileName);

// File helpers: the write goes to a temporary file renamed into place.
PresetFile readPresetFile(const std::string& path);
void writePresetFile(const std::string& path, const PresetFile& preset);

}  // namespace render
