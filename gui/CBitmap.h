// A reference-counted bitmap: an embedded resource decoded once and kept as a
// cairo image. A bitmap that is not found or not decodable reports size 0 x 0
// and draws nothing.
#pragma once

#include <cairo.h>

#include "gui/CDrawContext.h"
#include "gui/CRect.h"
#include "gui/CReferenceCounter.h"

// Names a bitmap resource (its file name, as embedded).
struct CResourceDescription {
    CResourceDescription(const char* name) : name(name) {}  // NOLINT: implicit like VSTGUI's
    const char* name;
};

class CBitmap : public CReferenceCounter {
public:
    CBitmap(const CResourceDescription& desc);  // NOLINT: loads the named resource
    CBitmap(CCoord width, CCoord height);       // blank (transparent) bitmap
    ~CBitmap() override;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    // Copies the bitmap's pixels into rect: the pixel at rect's top left is
    // the bitmap's pixel at offset; nothing outside rect is touched.
    virtual void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    // As draw, but pixels of the transparent colour (magenta) are skipped.
    virtual void drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    // As draw, with the whole bitmap weighted by alpha 0..255.
    virtual void drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0),
                                unsigned char alpha = 128);

    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }
    bool isLoaded() const { return image != nullptr; }
    cairo_surface_t* getSurface() const { return image; }

    static constexpr CColor kTransparentColor{255, 0, 255, 255};

private:
    void paint(CDrawContext* context, cairo_surface_t* source, const CRect& rect, const CPoint& offset, double alpha);
    cairo_surface_t* keyedSurface();

    cairo_surface_t* image = nullptr;
    cairo_surface_t* keyed = nullptr;  // copy with magenta made transparent, made on first use
    CCoord width = 0;
    CCoord height = 0;
};
