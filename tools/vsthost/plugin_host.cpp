#include "tools/vsthost/plugin_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace vsthost {

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) throw std::runtime_error("cannot load " + path + ": " + dlerror());
    entry_ = reinterpret_cast<EntryPoint>(dlsym(handle_, "VSTPluginMain"));
    main_ = reinterpret_cast<EntryPoint>(dlsym(handle_, "main"));
    if (!entry_ && !main_) {
        dlclose(handle_);
        throw std::runtime_error(path + " has no VSTPluginMain or main entry point");
    }
    if (!entry_) entry_ = main_;
}

PluginLibrary::~PluginLibrary() {
    if (handle_) dlclose(handle_);
}

namespace {
// The instance being created: the plug-in calls back before the host has
// its AEffect and can store itself in the record's user field.
thread_local PluginInstance* creating = nullptr;
}  // namespace

PluginInstance::PluginInstance(std::shared_ptr<PluginLibrary> library, VstIntPtr hostVersion)
    : library_(std::move(library)), hostVersion_(hostVersion) {
    creating = this;
    effect_ = library_->entry()(callback);
    creating = nullptr;
    if (!effect_) throw std::runtime_error(library_->path() + ": the plug-in refused to start");
    if (effect_->magic != kEffectMagic) {
        effect_ = nullptr;
        throw std::runtime_error(library_->path() + ": not a VST 2 plug-in (bad magic)");
    }
    effect_->user = this;
}

PluginInstance::~PluginInstance() {
    if (effect_) close();
}

VstIntPtr PluginInstance::close() {
    if (!effect_) return 0;
    VstIntPtr result = effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
    effect_ = nullptr;
    return result;
}

VstIntPtr PluginInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginInstance::getString(VstInt32 opcode, VstInt32 index, VstIntPtr value) {
    char text[256] = {};
    dispatch(opcode, index, value, text, 0.0f);
    text[sizeof(text) - 1] = 0;
    return text;
}

void PluginInstance::process(float* left, float* right, VstInt32 frames) {
    float* outputs[2] = {left, right};
    effect_->processReplacing(effect_, nullptr, outputs, frames);
}

VstIntPtr VSTCALLBACK PluginInstance::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float opt) {
    PluginInstance* self = (effect && effect->user) ? static_cast<PluginInstance*>(effect->user) : creating;
    if (!self) return opcode == audioMasterVersion ? 2400 : 0;
    return self->answer(opcode, index, value, ptr, opt);
}

VstIntPtr PluginInstance::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (logCalls) calls.push_back({opcode, index, value, opt});
    switch (opcode) {
        case audioMasterVersion:
            return hostVersion_;
        case audioMasterGetSampleRate:
            return static_cast<VstIntPtr>(sampleRate);
        case audioMasterGetBlockSize:
            return blockSize;
        case audioMasterGetVendorString:
            if (ptr) std::strcpy(static_cast<char*>(ptr), "Pelmar");
            return 1;
        case audioMasterGetProductString:
            if (ptr) std::strcpy(static_cast<char*>(ptr), "pelmar host");
            return 1;
        case audioMasterGetVendorVersion:
            return 1;
        case audioMasterGetCurrentProcessLevel:
            return 4;  // offline: we render as fast as we can
        default:
            return 0;
    }
}

std::string defaultPluginPath() {
    namespace fs = std::filesystem;
    std::vector<fs::path> candidates;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        candidates.push_back(self.parent_path() / "pelmar-k1.so");
        candidates.push_back(self.parent_path().parent_path() / "pelmar-k1.so");
        candidates.push_back(self.parent_path().parent_path() / "lib" / "vst" / "pelmar-k1.so");
    }
    if (const char* home = std::getenv("HOME")) candidates.push_back(fs::path(home) / ".vst" / "pelmar-k1.so");
    candidates.push_back("/usr/lib/vst/pelmar-k1.so");
    for (const fs::path& candidate : candidates)
        if (fs::exists(candidate, error)) return candidate.string();
    return "pelmar-k1.so";
}

}  // namespace vsthost
