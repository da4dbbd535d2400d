#include "support/hosted_editor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "support/process_usage.h"

namespace guitest {

namespace {

std::shared_ptr<vsthost::PluginLibrary> library() {
    static auto loaded = std::make_shared<vsthost::PluginLibrary>(PELMAR_PLUGIN_PATH);
    return loaded;
}

}  // namespace

HostedEditor::HostedEditor(XTestHost& host) : host(host), instance(library()) {
    instance.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    instance.dispatch(effSetBlockSize, 0, 512);
    instance.dispatch(effMainsChanged, 0, 1);
}

HostedEditor::~HostedEditor() { close(); }

VstIntPtr HostedEditor::openAt(int x, int y) {
    originX = x;
    originY = y;
    parentWindow = host.makeParent(x, y, 616, 404);
    VstIntPtr opened =
        instance.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parentWindow)));
    idle();
    return opened;
}

void HostedEditor::close() {
    if (!parentWindow) return;
    if (instance.effect()) instance.dispatch(effEditClose);
    host.destroy(parentWindow);
    parentWindow = 0;
}

void HostedEditor::idle(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        instance.dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
}

bool HostedEditor::idleUntil(const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < end) {
        idle(1);
        if (done()) return true;
    }
    return false;
}

void HostedEditor::click(int x, int y) {
    host.click(originX + x, originY + y);
    idle();
}

void HostedEditor::drag(const std::vector<std::pair<int, int>>& path) {
    if (path.empty()) return;
    host.moveTo(originX + path.front().first, originY + path.front().second);
    idle(3);
    host.button(1, true);
    idle(3);
    for (const auto& [x, y] : path) {
        host.moveTo(originX + x, originY + y);
        idle(3);
    }
    host.button(1, false);
    idle();
}

Program HostedEditor::program() {
    void* data = nullptr;
    Program copy{};
    VstIntPtr size = instance.dispatch(effGetChunk, 1, 0, &data);
    if (data && size == static_cast<VstIntPtr>(sizeof(Program))) std::memcpy(&copy, data, sizeof copy);
    return copy;
}

std::uint32_t HostedEditor::pixel(int x, int y) { return host.pixel(parentWindow, x, y); }

std::vector<std::uint32_t> HostedEditor::pixels(int left, int top, int right, int bottom) {
    const int width = right - left, height = bottom - top;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height, 0xFFFFFFFFu);
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        host.xcb(),
        xcb_get_image(host.xcb(), XCB_IMAGE_FORMAT_Z_PIXMAP, parentWindow, static_cast<std::int16_t>(left),
                      static_cast<std::int16_t>(top), static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), ~0u),
        nullptr);
    if (!image) return out;
    std::memcpy(out.data(), xcb_get_image_data(image), out.size() * 4);
    std::free(image);
    for (auto& p : out) p &= 0xFFFFFFu;
    return out;
}

bool HostedEditor::screenshot(const std::string& name) {
    return host.screenshot(parentWindow, 616, 404, std::string(PELMAR_GUI_ARTEFACTS) + "/" + name);
}

float HostedEditor::renderPeak(int frames) {
    std::vector<float> left(512), right(512);
    float peak = 0.0f;
    for (int done = 0; done < frames; done += 512) {
        const int n = std::min(512, frames - done);
        instance.process(left.data(), right.data(), n);
        for (int i = 0; i < n; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    }
    return peak;
}

std::vector<vsthost::HostCall> HostedEditor::callsOf(VstInt32 opcode) const {
    std::vector<vsthost::HostCall> out;
    for (const auto& call : instance.calls)
        if (call.opcode == opcode) out.push_back(call);
    return out;
}

int threadCount() { return usage::threads(); }
int openFileCount() { return usage::openFiles(); }

}  // namespace guitest
