// The plug-in's editor. It exists for the whole life of the plug-in; its
// window exists only between the host's open and close requests.
#pragma once

#include "vst/AEffEditor.h"

constexpr int kEditorWidth = 616;
constexpr int kEditorHeight = 404;

class pmgui : public AEffEditor {
public:
    explicit pmgui(AudioEffect* effect);

    bool getRect(ERect** rect) override;
    // The plug-in tells the editor of a value it did not change itself.
    virtual void setParameter(VstInt32 tag, float value);

private:
    ERect size{0, 0, kEditorHeight, kEditorWidth};
};
