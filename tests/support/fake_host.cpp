#include "support/fake_host.h"

namespace testhost {

std::vector<vsthost::HostCall>& calls() {
    static std::vector<vsthost::HostCall> log;
    return log;
}

void reset() { calls().clear(); }

VstIntPtr VSTCALLBACK callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt) {
    calls().push_back({opcode, index, value, opt});
    return opcode == audioMasterVersion ? 2400 : 0;
}

}  // namespace testhost
