#pragma once

#include <GL/glew.h>

#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/Window.hpp>
#include <cstdint>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <vector>

#include "render/render.h"
#include "view/camera.h"

// The start-up steps after the window opens, and one frame of the loop: the viewer runs
// them in this order, and the draw benchmark times the very same calls.

// What every frame needs from start-up: the program's matrix slot, the fixed projection
// and the globe's GPU copies.
struct Scene {
    GLint mvpLocation = -1;
    glm::mat4 projection{1.0f};
    GlobeMesh mesh;
};

// False after one line on standard error when the processor cannot run the globe's code.
bool checkProcessor();

// Opens the viewer's fullscreen window at the bits per pixel checkDisplay() found, loads
// the OpenGL entry points into its context and fits the viewport to it. False after one
// line on standard error when the loader fails or the driver offers less than OpenGL 2.0.
bool openViewer(sf::Window& window, unsigned bitsPerPixel);

// Loads the OpenGL entry points into the window's context and enables the depth test.
// False after one line on standard error when the loader fails or the driver offers
// less than OpenGL 2.0.
bool loadOpenGl();

// The sphere grid pushed in and out by the random cuts, drawn from rand().
void buildGlobe(std::vector<std::uint32_t>& indices, std::vector<glm::vec3>& positions);

// Builds the program and makes it current for good, builds the projection, uploads the
// globe and loads the ramp into `texture`.
Scene setUpScene(const std::vector<std::uint32_t>& indices, const std::vector<glm::vec3>& positions,
                 sf::Texture& texture);

// Advances the camera by a frame, draws the globe as it then stands and shows it.
void drawFrame(sf::Window& window, const Scene& scene, const sf::Texture& texture, Camera& camera);
