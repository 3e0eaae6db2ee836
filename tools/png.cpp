// Saving a grabbed screen as a PNG through the graphics library the viewer already uses.
#include <SFML/Graphics/Image.hpp>

#include "xdriver.h"

bool savePng(const RgbImage& image, const std::string& path) {
    if (image.pixels.empty()) return false;
    constexpr std::uint8_t opaque = 255;
    std::vector<std::uint8_t> rgba;
    rgba.reserve(image.pixels.size() / 3 * 4);
    for (std::size_t offset = 0; offset < image.pixels.size(); offset += 3) {
        rgba.insert(rgba.end(), image.pixels.begin() + offset, image.pixels.begin() + offset + 3);
        rgba.push_back(opaque);
    }
    sf::Image png;
    png.create(static_cast<unsigned>(image.width), static_cast<unsigned>(image.height),
               rgba.data());
    return png.saveToFile(path);
}
