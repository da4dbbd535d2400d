// A font description: name, pixel size and style. Every name is drawn with
// the embedded Liberation Sans, which has Arial's metrics, so text looks the
// same on every machine.
#pragma once

#include <string>

#include "gui/CRect.h"
#include "gui/CReferenceCounter.h"

enum CTxtFace { kNormalFace = 0, kBoldFace = 1, kItalicFace = 2, kUnderlineFace = 4 };

class CFontDesc : public CReferenceCounter {
public:
    CFontDesc(const char* name = "", CCoord size = 0, long style = kNormalFace)
        : name(name ? name : ""), size(size), style(style) {}

    const char* getName() const { return name.c_str(); }
    CCoord getSize() const { return size; }
    long getStyle() const { return style; }
    void setSize(CCoord newSize) { size = newSize; }
    void setStyle(long newStyle) { style = newStyle; }

private:
    std::string name;
    CCoord size;
    long style;
};

using CFontRef = CFontDesc*;

// Process-wide fonts; they are never deleted, so remember/forget on them
// only counts.
extern const CFontRef kSystemFont;  // Arial, 12 pixels
extern const CFontRef kNormalFont;  // Arial, 12 pixels
