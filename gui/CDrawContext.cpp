#include "gui/CDrawContext.h"

#include "gui/embedded_font.h"

CDrawContext::CDrawContext(cairo_surface_t* target) : cr(cairo_create(target)) {
    if (cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_IMAGE)
        surfaceRect = CRect(0, 0, cairo_image_surface_get_width(target), cairo_image_surface_get_height(target));
    else
        surfaceRect = CRect(-(1 << 20), -(1 << 20), 1 << 20, 1 << 20);
    clipRect = surfaceRect;
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    if (cairo_font_face_t* face = embeddedFontFace()) cairo_set_font_face(cr, face);
    applyFixedFontOptions(cr);
    setFont(kSystemFont);
}

CDrawContext::~CDrawContext() { cairo_destroy(cr); }

void CDrawContext::setSource(const CColor& c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

void CDrawContext::setFont(const CFontRef newFont, const CCoord& size, const long&) {
    font = newFont;
    fontSize = size > 0 ? size : (newFont && newFont->getSize() > 0 ? newFont->getSize() : 12);
    cairo_set_font_size(cr, fontSize);
}

void CDrawContext::fillRect(const CRect& rect) {
    if (rect.isEmpty()) return;
    setSource(fillColor);
    cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
    cairo_fill(cr);
}

void CDrawContext::drawRect(const CRect& rect, const CDrawStyle style) {
    if (style != kDrawStroked) fillRect(rect);
    if (style == kDrawFilled || rect.isEmpty()) return;
    // A one-pixel line along the inside of the rectangle.
    setSource(frameColor);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, rect.left + 0.5, rect.top + 0.5, rect.width() - 1.0, rect.height() - 1.0);
    cairo_stroke(cr);
}

void CDrawContext::drawString(const char* string, const CRect& rect, const short opaque, const CHoriTxtAlign hAlign) {
    if (!string || rect.isEmpty()) return;
    if (opaque) fillRect(rect);
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
    cairo_clip(cr);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    cairo_text_extents_t text;
    cairo_text_extents(cr, string, &text);
    double x = rect.left;
    if (hAlign == kCenterText)
        x = rect.left + (rect.width() - text.x_advance) / 2.0;
    else if (hAlign == kRightText)
        x = rect.right - text.x_advance;
    // Baseline placed so that the font's ascent and descent are centred.
    double y = rect.top + (rect.height() - (font.ascent + font.descent)) / 2.0 + font.ascent;
    cairo_move_to(cr, static_cast<int>(x + 0.5), static_cast<int>(y + 0.5));
    setSource(fontColor);
    cairo_show_text(cr, string);
    cairo_restore(cr);
}

CCoord CDrawContext::getStringWidth(const char* string) {
    if (!string) return 0;
    cairo_text_extents_t text;
    cairo_text_extents(cr, string, &text);
    return static_cast<CCoord>(text.x_advance + 0.5);
}

void CDrawContext::applyClip() {
    cairo_reset_clip(cr);
    CRect clip = clipRect;
    clip.bound(surfaceRect);
    cairo_rectangle(cr, clip.left, clip.top, clip.width(), clip.height());
    cairo_clip(cr);
}

void CDrawContext::setClipRect(const CRect& clip) {
    clipRect = clip;
    applyClip();
}

CRect& CDrawContext::getClipRect(CRect& clip) const { return clip = clipRect; }

void CDrawContext::resetClipRect() { setClipRect(surfaceRect); }
