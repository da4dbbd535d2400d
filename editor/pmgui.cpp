#include "editor/pmgui.h"

#include <cmath>
#include <cstdio>

#include "editor/CTextButton.h"
#include "editor/keyboard.h"
#include "editor/multiSlider.h"
#include "host/pelmar.h"

namespace {

constexpr long kGroupSlider = 0x000;
constexpr long kGroupLabel = 0x100;
constexpr long kGroupKeySliders = 0x200;
constexpr long kGroupKeyboard = 0x300;
constexpr long kGroupTab = 0x400;
constexpr long kGroupAction = 0x600;
constexpr long kGroupHelp = 0x700;

constexpr const char* kTabNames[kEditorPages] = {"pelmar", "strings", "hammer"};
constexpr const char* kActionNames[kEditorActions] = {"0", "+", "-", "x", "/", "R", "S"};
constexpr CColor kFrameColor{32, 64, 128, 255};

VstInt32 tagOf(int page, int row) { return page * 16 + row; }

}  // namespace

pmgui::pmgui(AudioEffect* effect) : AEffGUIEditor(effect), plugin(dynamic_cast<pelmar*>(effect)) {
    rect = ERect{0, 0, kEditorHeight, kEditorWidth};
}

// A host may delete the plug-in with the window still open; the views must
// go before this listener does.
pmgui::~pmgui() { close(); }

int pmgui::valueNumber(VstInt32 tag, float v) {
    float scaled = v * 100.0f;
    // A chunk may carry any float; keep the conversion defined.
    if (!(scaled > -1.0e6f)) scaled = scaled != scaled ? 0.0f : -1.0e6f;
    if (scaled > 1.0e6f) scaled = 1.0e6f;
    int number = static_cast<int>(scaled);
    if (tag == 0x01 || tag == 0x10) number -= 50;
    return number;
}

void pmgui::showValue(int row, VstInt32 tag, float v) {
    if (!values[row]) return;
    std::snprintf(valint, sizeof valint, "%d", valueNumber(tag, v));
    values[row]->setText(valint);
}

bool pmgui::open(void* ptr) {
    if (!plugin || !ptr) return false;  // without a parent window there is nothing to show
    if (frame) close();  // a second open without a close replaces the window
    AEffGUIEditor::open(ptr);
    selected = -1;
    page = 0;

    auto* newFrame = new CFrame(CRect(0, 0, kEditorWidth, kEditorHeight), ptr, this);
    if (!newFrame->isValid()) {
        // No window could be made in the host's parent: refuse the open.
        newFrame->forget();
        AEffEditor::close();
        return false;
    }
    newFrame->setBackgroundColor(kFrameColor);

    auto* handle = new CBitmap("sliderh.bmp");
    auto* sliderBack = new CBitmap("sliderb.bmp");
    auto* strings = new CBitmap("strings.bmp");
    auto* logo = new CBitmap("pelmar.bmp");
    auto* keysPicture = new CBitmap("keys.bmp");
    auto* button = new CBitmap("button.bmp");
    auto* buttons = new CBitmap("buttons.bmp");
    auto* edge = new CBitmap("edge.bmp");
    auto* val = new CBitmap("val.bmp");

    const int wb = button->getWidth(), hb = button->getHeight();
    const int ws = buttons->getWidth(), hs = buttons->getHeight();
    const int wsb = sliderBack->getWidth(), hsb = sliderBack->getHeight();
    const int wv = val->getWidth(), hv = val->getHeight();

    auto* upperEdge = new CView(CRect(0, 25, 616, 31));
    upperEdge->setBackground(edge);
    newFrame->addView(upperEdge);
    auto* lowerEdge = new CView(CRect(0, 146, 616, 152));
    lowerEdge->setBackground(edge);
    newFrame->addView(lowerEdge);

    keys = new keyboard(CRect(0, 334, 616, 404), this, kGroupKeyboard, keysPicture, 9);
    newFrame->addView(keys);
    keySliders = new multiSlider(CRect(0, 154, 616, 334), this, kGroupKeySliders, strings, logo, 8);
    newFrame->addView(keySliders);

    for (int i = 0; i < kEditorPages; ++i) {
        const int left = (576 - 5 * wb) / 2 + i * (wb + 10);
        tabs[i] = new CTextButton(CRect(left, 6, left + wb, 6 + hb / 2), this, kGroupTab | i, button, kTabNames[i],
                                  false);
        if (i == 0) tabs[i]->setValue(1.0f);
        newFrame->addView(tabs[i]);
    }

    for (int i = 0; i < kEditorRows; ++i) {
        const int column = i / 5, line = i % 5;
        const VstInt32 tag = tagOf(page, i);
        char name[32] = {};
        plugin->getParameterName(tag, name);
        const bool shown = name[0] != 0;

        const int labelLeft = 25 + 303 * column, labelTop = hb / 2 + 18 + 23 * line;
        labels[i] = new CTextButton(CRect(labelLeft, labelTop, labelLeft + wb, labelTop + hb / 2), this,
                                    kGroupLabel | i, button, name, false);
        labels[i]->setVisible(shown);
        newFrame->addView(labels[i]);

        const int sliderLeft = labelLeft + wb + 10, sliderTop = labelTop + 1;
        sliders[i] = new CHorizontalSlider(CRect(sliderLeft, sliderTop, sliderLeft + wsb, sliderTop + hsb), this,
                                           kGroupSlider | i, CPoint(4, 2), wsb - 7, handle, sliderBack,
                                           CPoint(0, 0), kLeft);
        sliders[i]->setWheelInc(0.05f);
        sliders[i]->setValue(plugin->getParameter(tag));
        sliders[i]->setFreeClick(true);
        sliders[i]->setVisible(shown);
        newFrame->addView(sliders[i]);

        const int valueLeft = sliderLeft + wsb + 10;
        values[i] = new CTextLabel(CRect(valueLeft, sliderTop, valueLeft + wv, sliderTop + hv), "0", val, 0);
        values[i]->setVisible(shown);
        showValue(i, tag, sliders[i]->getValue());
        newFrame->addView(values[i]);
    }

    helpButton = new CTextButton(CRect(606 - ws, 6, 606, 6 + hs / 2), this, kGroupHelp, buttons, "?", false);
    newFrame->addView(helpButton);
    for (int i = 0; i < kEditorActions; ++i) {
        const int left = 546 - 7 * ws + i * (ws + 10);
        newFrame->addView(
            new CTextButton(CRect(left, 145 - hs / 2, left + ws, 145), this, kGroupAction | i, buttons,
                            kActionNames[i], true));
    }

    for (CBitmap* bitmap : {handle, sliderBack, strings, logo, keysPicture, button, buttons, edge, val})
        bitmap->forget();

    frame = newFrame;
    return true;
}

void pmgui::forgetViews() {
    for (auto& p : tabs) p = nullptr;
    for (auto& p : sliders) p = nullptr;
    for (auto& p : labels) p = nullptr;
    for (auto& p : values) p = nullptr;
    keySliders = nullptr;
    keys = nullptr;
    helpButton = nullptr;
}

void pmgui::close() {
    AEffGUIEditor::close();
    forgetViews();
    selected = -1;
    page = 0;
}

void pmgui::setParameter(VstInt32 tag, float value) { queueParameter(tag, value); }

void pmgui::applyParameter(VstInt32 tag, float value) {
    if (!frame) return;
    if ((tag & 0xF0) / 16 != page) return;  // other pages are read afresh when shown
    const int row = tag & 0x0F;
    if (row >= kEditorRows) return;
    if (sliders[row]) sliders[row]->setValue(value);
    showValue(row, tag, value);
    if (row == selected && keySliders) {
        keySliders->offsets = plugin->getParx(tag);
        keySliders->setDirty();
    }
}

void pmgui::valueChanged(CControl* control) {
    if (!frame || !control) return;
    const long tag = control->getTag();
    const int index = static_cast<int>(tag & 0xFF);
    const long group = tag & 0xF00;

    // In help mode every touched control shows its help and still does its work.
    if (helpButton && helpButton->getValue() != 0.0f && keySliders) {
        keySliders->helpTopic = 0x10000 | (page * 16) | (tag & 0xF00) | (tag & 0x0F);
        keySliders->setDirty();
    }

    switch (group) {
        case kGroupSlider:
            if (index < kEditorRows) {
                plugin->setParameter(tagOf(page, index), control->getValue());
                showValue(index, tagOf(page, index), control->getValue());
            }
            break;
        case kGroupLabel:
            if (index < kEditorRows) {
                selectRow(index);
                keySliders->setDirty();
            }
            break;
        case kGroupKeySliders:
            // The offsets were edited in place; the plug-in takes them up.
            if (selected >= 0) plugin->setParameter(tagOf(page, selected), sliders[selected]->getValue());
            break;
        case kGroupKeyboard:
            plugin->setNote(static_cast<int>(control->getValue()), true);
            break;
        case kGroupTab:
            if (index < kEditorPages) switchPage(index);
            break;
        case kGroupAction:
            if (selected != -1) keySliders->action(index);
            break;
        case kGroupHelp:
            if (helpButton->getValue() == 0.0f) {
                keySliders->helpTopic = 0;
                keySliders->setDirty();
            }
            break;
        default:
            break;
    }
}

void pmgui::selectRow(int row) {
    if (selected == -1) {
        selected = row;
        keySliders->offsets = plugin->getParx(tagOf(page, row));
    } else if (row == selected) {
        selected = -1;
        keySliders->offsets = nullptr;
    } else {
        labels[selected]->setValue(0.0f);
        selected = row;
        keySliders->offsets = plugin->getParx(tagOf(page, row));
    }
}

void pmgui::switchPage(int newPage) {
    selected = -1;
    keySliders->offsets = nullptr;
    keySliders->setDirty();

    tabs[page]->setValue(0.0f);
    page = newPage;
    tabs[page]->setValue(1.0f);

    for (int row = 0; row < kEditorRows; ++row) {
        const VstInt32 tag = tagOf(page, row);
        char name[32] = {};
        plugin->getParameterName(tag, name);
        if (name[0] == 0) {
            labels[row]->setVisible(false);
            sliders[row]->setVisible(false);
            values[row]->setVisible(false);
            continue;
        }
        labels[row]->setValue(0.0f);
        labels[row]->setVisible(true);
        sliders[row]->setVisible(true);
        values[row]->setVisible(true);
        sliders[row]->setValue(plugin->getParameter(tag));
        labels[row]->setText(name);
        showValue(row, tag, sliders[row]->getValue());
    }
    frame->setDirty();
}
