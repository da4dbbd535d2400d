// The plug-in's editor. It exists for the whole life of the plug-in; its
// window, frame and views exist only between the host's open and close
// requests. Three pages of parameter rows, the key-slider page with its
// seven action buttons, the on-screen keyboard and the help mode.
#pragma once

#include <cstdint>

#include "gui/vstgui.h"

class CTextButton;
class multiSlider;
class keyboard;
class pelmar;

constexpr int kEditorWidth = 616;
constexpr int kEditorHeight = 404;
constexpr int kEditorRows = 10;
constexpr int kEditorPages = 3;
constexpr int kEditorActions = 7;

class pmgui : public AEffGUIEditor, public CControlListener {
public:
    explicit pmgui(AudioEffect* effect);
    ~pmgui() override;

    // Builds the window in the host's parent window; false when there is no
    // parent window or no window could be made in it.
    bool open(void* ptr) override;
    void close() override;

    // The plug-in tells the editor of a value it did not change itself. Any
    // thread may call it (the audio thread does for the MIDI volume): the
    // value is queued and shown in the next idle on the editor's thread.
    virtual void setParameter(VstInt32 tag, float value);

    void valueChanged(CControl* control) override;

    // The value label text of value v for a parameter tag: trunc(100 v),
    // less 50 for transpose and tuning.
    static int valueNumber(VstInt32 tag, float v);

protected:
    void applyParameter(VstInt32 tag, float value) override;

private:
    void selectRow(int row);
    void switchPage(int newPage);
    void showValue(int row, VstInt32 tag, float v);
    void forgetViews();

    pelmar* plugin;

    CTextButton* tabs[kEditorPages] = {};
    CHorizontalSlider* sliders[kEditorRows] = {};
    CTextButton* labels[kEditorRows] = {};
    CTextLabel* values[kEditorRows] = {};
    multiSlider* keySliders = nullptr;
    keyboard* keys = nullptr;
    CTextButton* helpButton = nullptr;
    std::int32_t selected = -1;
    std::int32_t page = 0;
    char valint[16] = {};
};
