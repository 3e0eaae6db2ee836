// Prints how long the viewer takes from start to its first globe frame, split into its
// stages, and how many frames per second it then draws, on whatever OpenGL driver the
// display offers. Run it with the assets as the working directory.

#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window.hpp>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "app/startup.h"
#include "app/window.h"
#include "globe/globe.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned reliefSeed = 1;
constexpr int timedFrames = 30;

double millisecondsBetween(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

// The viewer's own start-up calls, timed between them.
int main() {
    const Clock::time_point start = Clock::now();
    const std::optional<unsigned> bitsPerPixel = checkDisplay();
    if (!bitsPerPixel) return 1;
    sf::Window window;
    if (!openViewer(window, *bitsPerPixel)) return 1;
    const Clock::time_point contextReady = Clock::now();

    // A fixed seed keeps the relief, and so the work, the same from run to run.
    std::srand(reliefSeed);
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    buildGlobe(indices, positions);
    const Clock::time_point globeReady = Clock::now();

    sf::Texture texture;
    const Scene scene = setUpScene(indices, positions, texture);
    Camera camera;
    drawFrame(window, scene, texture, camera);
    glFinish();
    const Clock::time_point firstFrame = Clock::now();

    // The globe turns as if Left were held, so every frame has a new matrix.
    camera.yawSpeed = pi;
    const Clock::time_point loopStart = Clock::now();
    for (int frame = 0; frame < timedFrames; ++frame) drawFrame(window, scene, texture, camera);
    glFinish();
    const double loopMilliseconds = millisecondsBetween(loopStart, Clock::now());

    const sf::ContextSettings settings = window.getSettings();
    std::printf("renderer: %s, OpenGL %s, %u depth bits, %u samples, vertex arrays %s\n",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                reinterpret_cast<const char*>(glGetString(GL_VERSION)), settings.depthBits,
                settings.antialiasingLevel, scene.mesh.vertexArray != 0 ? "used" : "not offered");
    std::printf("start to first globe frame: %8.1f ms\n", millisecondsBetween(start, firstFrame));
    std::printf("  window and context:       %8.1f ms\n", millisecondsBetween(start, contextReady));
    std::printf("  globe generation:         %8.1f ms\n",
                millisecondsBetween(contextReady, globeReady));
    std::printf("  program, upload, texture and first draw: %8.1f ms\n",
                millisecondsBetween(globeReady, firstFrame));
    std::printf("draw at %ux%u: %d frames in %.1f ms, %.2f frames per second\n", window.getSize().x,
                window.getSize().y, timedFrames, loopMilliseconds,
                timedFrames * 1000.0 / loopMilliseconds);
    return 0;
}
