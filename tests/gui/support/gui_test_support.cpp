#include "support/gui_test_support.h"

namespace guitest {

std::vector<VstInt32> hostCallIndices(VstInt32 opcode) {
    std::vector<VstInt32> indices;
    for (const auto& call : testhost::calls())
        if (call.opcode == opcode) indices.push_back(call.index);
    return indices;
}

std::uint32_t pixel(cairo_surface_t* image, int x, int y) {
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    return reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride)[x] & 0xFFFFFFu;
}

int countPixels(cairo_surface_t* image, const CRect& area, std::uint32_t color) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) n += pixel(image, x, y) == color;
    return n;
}

int countWhitish(cairo_surface_t* image, const CRect& area) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            std::uint32_t p = pixel(image, x, y);
            n += (p >> 16) >= 0xA0 && ((p >> 8) & 0xFF) >= 0xA0 && (p & 0xFF) >= 0xA0;
        }
    return n;
}

int countOtherPixels(cairo_surface_t* image, const CRect& area, std::uint32_t color) {
    return area.width() * area.height() - countPixels(image, area, color);
}

}  // namespace guitest
