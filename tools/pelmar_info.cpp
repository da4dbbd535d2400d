// pelmar-info: loads the plug-in as a host does and prints what a host sees:
// its identity, capabilities and programs.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "tools/vsthost/plugin_host.h"

namespace {
std::string fourCC(VstInt32 id) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((id >> shift) & 0xFF);
    return s;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: %s [PLUGIN.so]\n", argv[0]);
        return 2;
    }
    const std::string path = argc == 2 ? argv[1] : vsthost::defaultPluginPath();
    try {
        auto library = std::make_shared<vsthost::PluginLibrary>(path);
        vsthost::PluginInstance plugin(library);
        AEffect* e = plugin.effect();
        std::printf("plug-in:  %s\n", path.c_str());
        std::printf("name:     %s\n", plugin.getString(effGetEffectName).c_str());
        std::printf("vendor:   %s (version %ld)\n", plugin.getString(effGetVendorString).c_str(),
                    static_cast<long>(plugin.dispatch(effGetVendorVersion)));
        std::printf("product:  %s\n", plugin.getString(effGetProductString).c_str());
        std::printf("id:       '%s', VST %ld, category %ld\n", fourCC(e->uniqueID).c_str(),
                    static_cast<long>(plugin.dispatch(effGetVstVersion)),
                    static_cast<long>(plugin.dispatch(effGetPlugCategory)));
        std::printf("audio:    %d inputs, %d outputs, flags 0x%x\n", e->numInputs, e->numOutputs, e->flags);
        std::printf("programs:\n");
        for (int p = 0; p < e->numPrograms; ++p)
            std::printf("  %d  %s\n", p, plugin.getString(effGetProgramNameIndexed, p).c_str());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pelmar-info: %s\n", error.what());
        return 1;
    }
}
