// The built plug-in loaded with dlopen as a host loads it, with its editor
// opened in a parent window on the private X server: the test clicks and
// drags with XTest in editor coordinates and watches what a host can see,
// the state chunk, the rendered audio, the host calls and the pixels.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/program.h"
#include "support/x_test_host.h"
#include "tools/vsthost/plugin_host.h"

namespace guitest {

class HostedEditor {
public:
    // Loads the plug-in; its editor is not open yet.
    explicit HostedEditor(XTestHost& host);
    ~HostedEditor();
    HostedEditor(const HostedEditor&) = delete;

    // Makes a parent window at (x, y) of the screen and opens the editor in
    // it; the answer of effEditOpen.
    VstIntPtr openAt(int x, int y);
    void close();
    xcb_window_t parent() const { return parentWindow; }
    vsthost::PluginInstance& plugin() { return instance; }

    // Host idle calls for a while, so that queued input is handled and drawn.
    void idle(int rounds = 10);
    bool idleUntil(const std::function<bool()>& done);

    // Pointer input in editor coordinates; each is followed by idle calls.
    void click(int x, int y);
    void drag(const std::vector<std::pair<int, int>>& path);

    // The current program as the host saves it.
    Program program();
    std::uint32_t pixel(int x, int y);
    // Pixels inside a rectangle of the editor, row by row.
    std::vector<std::uint32_t> pixels(int left, int top, int right, int bottom);
    bool screenshot(const std::string& name);

    // Renders frames of audio and answers the largest absolute sample.
    float renderPeak(int frames);
    std::vector<vsthost::HostCall> callsOf(VstInt32 opcode) const;

private:
    XTestHost& host;
    vsthost::PluginInstance instance;
    xcb_window_t parentWindow = 0;
    int originX = 0;
    int originY = 0;
};

// Threads and open file descriptors of this process.
int threadCount();
int openFileCount();

}  // namespace guitest
