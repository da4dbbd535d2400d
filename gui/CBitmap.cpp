#include "gui/CBitmap.h"

#include <cstring>

#include "gui/bmp_decoder.h"
#include "gui/embedded_resources.h"

namespace {

cairo_surface_t* surfaceFrom(const DecodedImage& decoded) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, decoded.width, decoded.height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    cairo_surface_flush(s);
    unsigned char* dst = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < decoded.height; ++y)
        std::memcpy(dst + static_cast<std::size_t>(y) * stride, &decoded.pixels[static_cast<std::size_t>(y) * decoded.width],
                    static_cast<std::size_t>(decoded.width) * 4);
    cairo_surface_mark_dirty(s);
    return s;
}

}  // namespace

CBitmap::CBitmap(const CResourceDescription& desc) {
    const EmbeddedResource* resource = findResource(desc.name);
    DecodedImage decoded;
    if (!resource || !decodeBmp(resource->data, resource->size, decoded)) return;
    image = surfaceFrom(decoded);
    if (image) {
        width = decoded.width;
        height = decoded.height;
    }
}

CBitmap::CBitmap(CCoord w, CCoord h) {
    if (w <= 0 || h <= 0 || w > kMaxBitmapSide || h > kMaxBitmapSide) return;
    image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    width = w;
    height = h;
}

CBitmap::~CBitmap() {
    if (keyed) cairo_surface_destroy(keyed);
    if (image) cairo_surface_destroy(image);
}

void CBitmap::paint(CDrawContext* context, cairo_surface_t* source, const CRect& rect, const CPoint& offset,
                    double alpha) {
    if (!context || !source || rect.isEmpty()) return;
    cairo_t* cr = context->getCairo();
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, source, rect.left - offset.h, rect.top - offset.v);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    if (alpha >= 1.0)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    paint(context, image, rect, offset, 1.0);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    paint(context, keyedSurface(), rect, offset, 1.0);
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset, unsigned char alpha) {
    paint(context, image, rect, offset, alpha / 255.0);
}

cairo_surface_t* CBitmap::keyedSurface() {
    if (keyed || !image) return keyed;
    keyed = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(image);
    cairo_surface_flush(keyed);
    const unsigned char* src = cairo_image_surface_get_data(image);
    unsigned char* dst = cairo_image_surface_get_data(keyed);
    int srcStride = cairo_image_surface_get_stride(image);
    int dstStride = cairo_image_surface_get_stride(keyed);
    for (int y = 0; y < height; ++y) {
        auto* in = reinterpret_cast<const std::uint32_t*>(src + static_cast<std::size_t>(y) * srcStride);
        auto* out = reinterpret_cast<std::uint32_t*>(dst + static_cast<std::size_t>(y) * dstStride);
        for (int x = 0; x < width; ++x) out[x] = in[x] == 0xFFFF00FFu ? 0u : in[x];
    }
    cairo_surface_mark_dirty(keyed);
    return keyed;
}
