// An 8-bit-per-channel colour, red, green, blue and alpha.
#pragma once

struct CColor {
    unsigned char red = 0;
    unsigned char green = 0;
    unsigned char blue = 0;
    unsigned char alpha = 255;
    bool operator==(const CColor&) const = default;
};

inline CColor MakeCColor(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha = 255) {
    return CColor{red, green, blue, alpha};
}

inline constexpr CColor kWhiteCColor{255, 255, 255, 255};
inline constexpr CColor kBlackCColor{0, 0, 0, 255};
inline constexpr CColor kGreyCColor{127, 127, 127, 255};
inline constexpr CColor kRedCColor{255, 0, 0, 255};
inline constexpr CColor kTransparentCColor{255, 255, 255, 0};
