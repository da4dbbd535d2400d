// Drawing into a cairo surface with VSTGUI's operations: filled and framed
// rectangles, one-line strings with horizontal alignment, clipping. Bitmaps
// draw themselves through it (CBitmap::draw).
#pragma once

#include <cairo.h>

#include "gui/CColor.h"
#include "gui/CFontDesc.h"
#include "gui/CRect.h"

enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };
enum CDrawStyle { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };

class CDrawContext {
public:
    explicit CDrawContext(cairo_surface_t* target);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    void setFillColor(const CColor& color) { fillColor = color; }
    CColor getFillColor() const { return fillColor; }
    void setFrameColor(const CColor& color) { frameColor = color; }
    CColor getFrameColor() const { return frameColor; }
    void setFontColor(const CColor& color) { fontColor = color; }
    CColor getFontColor() const { return fontColor; }

    // size 0 and style -1 take the font's own.
    void setFont(const CFontRef font, const CCoord& size = 0, const long& style = -1);
    CFontRef getFont() const { return font; }
    CCoord getFontSize() const { return fontSize; }

    // Fills exactly the pixels of rect (right and bottom edges excluded).
    void fillRect(const CRect& rect);
    void drawRect(const CRect& rect, const CDrawStyle style = kDrawStroked);
    // One line of text, vertically centred in rect and clipped to it; opaque
    // first fills rect with the fill colour.
    void drawString(const char* string, const CRect& rect, const short opaque = false,
                    const CHoriTxtAlign hAlign = kCenterText);
    CCoord getStringWidth(const char* string);

    void setClipRect(const CRect& clip);
    CRect& getClipRect(CRect& clip) const;
    void resetClipRect();

    cairo_t* getCairo() const { return cr; }

private:
    void setSource(const CColor& color);
    void applyClip();

    cairo_t* cr;
    CRect surfaceRect;
    CRect clipRect;
    CColor fillColor = kWhiteCColor;
    CColor frameColor = kBlackCColor;
    CColor fontColor = kWhiteCColor;
    CFontRef font = nullptr;
    CCoord fontSize = 12;
};
