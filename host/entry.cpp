// The library's entry point: the host hands in its callback and receives the
// AEffect record of a new plug-in object.
#include "host/pelmar.h"

#if defined(_WIN32)
#define PELMAR_EXPORT extern "C" __declspec(dllexport)
#else
#define PELMAR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) { return new pelmar(audioMaster); }

PELMAR_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    // A host that does not answer the version request is not a VST 2 host.
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0) == 0) return nullptr;
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}

// Older hosts look the entry point up under this second name.
#if defined(_WIN32)
#pragma comment(linker, "/EXPORT:main=VSTPluginMain")
#elif !defined(__APPLE__)
PELMAR_EXPORT AEffect* main_plugin(audioMasterCallback audioMaster) __asm__("main");
PELMAR_EXPORT AEffect* main_plugin(audioMasterCallback audioMaster) { return VSTPluginMain(audioMaster); }
#endif
