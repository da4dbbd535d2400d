#include "gui/bmp_decoder.h"

#include <cstdlib>

// stb_image is compiled here, privately and for BMP only.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_NO_FAILURE_STRINGS
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

// stb_image reads zeros past the end of a short buffer, so the header's
// promises are checked against the real size first.
bool headerIsSound(const unsigned char* data, std::size_t size) {
    if (size < kFileHeaderSize + 40 || data[0] != 'B' || data[1] != 'M') return false;
    std::uint32_t pixelOffset = le32(data + 10);
    std::uint32_t infoSize = le32(data + 14);
    if (infoSize < 40) return false;  // the old OS/2 header has no 24/32-bit use here
    auto width = static_cast<std::int32_t>(le32(data + 18));
    auto height = static_cast<std::int32_t>(le32(data + 22));
    std::uint16_t bits = le16(data + 28);
    std::uint32_t compression = le32(data + 30);
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
    if (width > kMaxBitmapSide || rows > kMaxBitmapSide) return false;
    if (bits != 24 && bits != 32) return false;
    if (compression != kBiRgb && !(bits == 32 && compression == kBiBitfields)) return false;
    std::int64_t stride = (static_cast<std::int64_t>(width) * bits + 31) / 32 * 4;
    return pixelOffset >= kFileHeaderSize + infoSize && pixelOffset + stride * rows <= static_cast<std::int64_t>(size);
}

}  // namespace

bool decodeBmp(const unsigned char* data, std::size_t size, DecodedImage& image) {
    if (!data || !headerIsSound(data, size)) return false;
    int width = 0, height = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &channels, 4);
    if (!rgba) return false;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const stbi_uc* p = rgba + 4 * i;
        std::uint32_t a = p[3];
        auto premultiply = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        image.pixels[i] = (a << 24) | (premultiply(p[0]) << 16) | (premultiply(p[1]) << 8) | premultiply(p[2]);
    }
    stbi_image_free(rgba);
    return true;
}
