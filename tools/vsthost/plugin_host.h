// A minimal VST 2.4 host: loads a plug-in library with dlopen, creates one
// instance through VSTPluginMain exactly as a workstation does, answers its
// callbacks and keeps a log of them. Used by our tools and tests.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vst/aeffect.h"

namespace vsthost {

// The loaded library; closed when the last instance and handle are gone.
class PluginLibrary {
public:
    // Throws std::runtime_error naming the path and the loader's message.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    using EntryPoint = AEffect* (*)(audioMasterCallback);
    EntryPoint entry() const { return entry_; }
    EntryPoint mainEntry() const { return main_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    void* handle_ = nullptr;
    EntryPoint entry_ = nullptr;
    EntryPoint main_ = nullptr;
};

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

class PluginInstance {
public:
    // Creates an instance; throws std::runtime_error if the plug-in refuses.
    explicit PluginInstance(std::shared_ptr<PluginLibrary> library, VstIntPtr hostVersion = 2400);
    ~PluginInstance();  // sends effClose if not closed yet
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* effect() const { return effect_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    std::string getString(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0);
    void process(float* left, float* right, VstInt32 frames);
    VstIntPtr close();  // effClose; the instance is gone afterwards

    // Every call the plug-in made to the host, in order, while logCalls is set.
    std::vector<HostCall> calls;
    bool logCalls = true;

    // Answers the host gives; the sample rate and block size the host reports.
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 512;

private:
    static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                          void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    std::shared_ptr<PluginLibrary> library_;
    AEffect* effect_ = nullptr;
    VstIntPtr hostVersion_;
};

// Where to find the plug-in: beside the running program (its directory, then
// the parent, then the installed layout's ../lib/vst), then ~/.vst, then
// /usr/lib/vst.
std::string defaultPluginPath();

}  // namespace vsthost
