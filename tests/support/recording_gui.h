// An editor that records what the plug-in tells it, installed in place of
// the plug-in's own editor.
#pragma once

#include <utility>
#include <vector>

#include "editor/pmgui.h"
#include "host/pelmar.h"

class RecordingGui : public pmgui {
public:
    explicit RecordingGui(pelmar* plugin) : pmgui(plugin) {}
    void setParameter(VstInt32 tag, float value) override { received.emplace_back(tag, value); }
    std::vector<std::pair<VstInt32, float>> received;

    static RecordingGui* installIn(pelmar& plugin) {
        delete plugin.getEditor();
        auto* gui = new RecordingGui(&plugin);
        plugin.setEditor(gui);
        return gui;
    }
};
