#include "editor/pmgui.h"

pmgui::pmgui(AudioEffect* effect) : AEffEditor(effect) {}

bool pmgui::getRect(ERect** rect) {
    *rect = &size;
    return true;
}

// Without a window there is no control to update: an opened window takes
// every value afresh from the plug-in, so nothing needs remembering here.
void pmgui::setParameter(VstInt32, float) {}
