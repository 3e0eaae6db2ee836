#pragma once

#include <SFML/Graphics/Image.hpp>
#include <cstdint>

#include "gl_context.h"

// A 256 x 1 colour ramp whose texel t is (t, 0 or 255, 128): red names the texel, and
// green flips between neighbours, so any blending of two texels shows up at once.
inline constexpr unsigned testRampWidth = 256;
inline constexpr std::uint32_t testRampBlue = 128;

inline std::uint32_t testRampColour(unsigned texel) {
    return rgba(texel, texel % 2 == 1 ? 255 : 0, testRampBlue);
}

inline sf::Image testRampImage() {
    sf::Image image;
    image.create(testRampWidth, 1);
    for (unsigned texel = 0; texel < testRampWidth; ++texel) {
        image.setPixel(texel, 0, sf::Color(testRampColour(texel)));
    }
    return image;
}
