// Decodes the editor's bitmap files: uncompressed 24- and 32-bit BMP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodedImage {
    int width = 0;
    int height = 0;
    // Premultiplied 0xAARRGGBB per pixel, top row first (cairo's ARGB32).
    std::vector<std::uint32_t> pixels;
};

// False for anything but a complete, uncompressed 24- or 32-bit BMP of at
// most kMaxBitmapSide pixels a side: a truncated file is refused rather than
// shown with made-up pixels.
bool decodeBmp(const unsigned char* data, std::size_t size, DecodedImage& image);

constexpr int kMaxBitmapSide = 8192;
