// The help mode's text: which explanation a help topic selects, and how it
// is drawn into the key-slider area.
#pragma once

#include "gui/CDrawContext.h"
#include "gui/CFontDesc.h"
#include "gui/CRect.h"

struct HelpText {
    const char* const* lines = nullptr;  // null when the topic has no text
    int count = 0;
};

// The lines of a topic (0x10000 | page * 16 | control group | control index).
HelpText helpText(int topic);

// Rectangle of line n (0 the first) of the help text in rect.
CRect helpLineRect(const CRect& rect, CCoord fontSize, int n);

// The right-aligned product line on the introduction's first line.
extern const char* const kHelpVersionLine;

// Fills rect and draws the topic's lines in white with font.
void helpDoc(CDrawContext* context, CFontRef font, const CRect& rect, int topic);
