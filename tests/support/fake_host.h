// A host callback for tests that build plug-in objects directly: it answers
// like a VST 2.4 host and records every call.
#pragma once

#include <vector>

#include "tools/vsthost/plugin_host.h"
#include "vst/aeffect.h"

namespace testhost {

std::vector<vsthost::HostCall>& calls();  // calls since the last reset
void reset();
VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt);

}  // namespace testhost
