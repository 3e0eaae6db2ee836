#pragma once

#include <GL/glew.h>

#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/Window.hpp>
#include <cstdint>
#include <future>
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

// The sphere grid pushed in and out by the random cuts, drawn from rand().
void buildGlobe(std::vector<std::uint32_t>& indices, std::vector<glm::vec3>& positions);

// The same globe built on a worker thread while the caller goes on. The cuts' directions
// are drawn from rand() before it returns, so that nothing the caller or its libraries
// draw later can shift them. The lists must outlive the future, whose destructor waits
// for the worker; get() hands on a failed allocation. Where no thread can be had, get()
// builds the globe on the spot, to the same bytes.
std::future<void> startBuildingGlobe(std::vector<std::uint32_t>& indices,
                                     std::vector<glm::vec3>& positions);

// Builds the program and makes it current for good, builds the projection, loads the ramp
// into `texture` and points the program's sampler at it: the whole scene but the globe,
// which needs nothing of this and is uploaded last.
Scene setUpScene(sf::Texture& texture);

// Advances the camera by a frame and draws the globe as it then stands, not shown yet.
void drawGlobeFrame(const Scene& scene, const sf::Texture& texture, Camera& camera);

// Draws the next frame as drawGlobeFrame() does and shows it.
void drawFrame(sf::Window& window, const Scene& scene, const sf::Texture& texture, Camera& camera);
