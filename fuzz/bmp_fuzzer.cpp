// The editor toolkit's bitmap loading on any bytes: the input is the only
// embedded resource, loaded by CBitmap as the editor loads its bitmaps, and
// decoded directly too. A bitmap is either refused or fully and consistently
// decoded; it is drawn, keyed and blended onto a canvas.
#include <cairo.h>

#include <cstdio>
#include <cstdlib>

#include "gui/CBitmap.h"
#include "gui/bmp_decoder.h"

// This program's resource table (the library's own is not linked in): one
// entry that each input replaces, then the closing null entry. Laid out as
// gui/embedded_resources.h declares it, which is not included here because it
// declares the table read-only.
struct FuzzResource {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};
extern "C" {
FuzzResource pelmar_resources[2] = {{"fuzz.bmp", nullptr, 0}, {nullptr, nullptr, 0}};
}

namespace {
[[noreturn]] void fail(const char* what, long detail) {
    std::fprintf(stderr, "fuzz check failed: %s (%ld)\n", what, detail);
    std::abort();
}

std::int32_t le32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DecodedImage image;
    const bool decoded = decodeBmp(data, size, image);
    if (decoded) {
        // The header's size, at most kMaxBitmapSide a side, every pixel there
        // and premultiplied.
        const std::int32_t width = le32(data + 18);
        const std::int32_t height = le32(data + 22);
        if (image.width != width || image.height != (height < 0 ? -height : height)) fail("size", image.width);
        if (image.width > kMaxBitmapSide || image.height > kMaxBitmapSide) fail("side", image.height);
        if (image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
            fail("pixel count", static_cast<long>(image.pixels.size()));
        for (std::uint32_t p : image.pixels) {
            const std::uint32_t a = p >> 24;
            if (((p >> 16) & 255) > a || ((p >> 8) & 255) > a || (p & 255) > a) fail("not premultiplied", p);
        }
    }

    pelmar_resources[0].data = data;
    pelmar_resources[0].size = size;
    auto* bitmap = new CBitmap("fuzz.bmp");
    if (bitmap->isLoaded() != decoded) fail("CBitmap and the decoder disagree", decoded);
    if (decoded) {
        if (bitmap->getWidth() != image.width || bitmap->getHeight() != image.height) fail("bitmap size", image.width);
        cairo_surface_t* canvas = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 48);
        {
            CDrawContext context(canvas);
            const CRect rect(3, 2, 61, 45);
            bitmap->draw(&context, rect, CPoint(image.width / 2, image.height / 3));
            bitmap->drawTransparent(&context, rect);
            bitmap->drawAlphaBlend(&context, rect, CPoint(1, 1), 100);
        }
        cairo_surface_destroy(canvas);
    }
    bitmap->forget();
    return 0;
}
