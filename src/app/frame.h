#pragma once

#include <GL/glew.h>

#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/Window.hpp>
#include <glm/mat4x4.hpp>

#include "render/render.h"
#include "view/camera.h"

// One frame of the loop and the scene it draws: the viewer runs these, and the draw
// benchmark times the very same calls.

// What every frame needs from start-up: the program's matrix slot, the fixed projection
// and the globe's GPU copies.
struct Scene {
    GLint mvpLocation = -1;
    glm::mat4 projection{1.0f};
    GlobeMesh mesh;
};

// Builds the program and makes it current for good, builds the projection, loads the ramp
// into `texture` and points the program's sampler at it: the whole scene but the globe,
// which needs nothing of this and is uploaded last.
Scene setUpScene(sf::Texture& texture);

// Advances the camera by a frame and draws the globe as it then stands, not shown yet.
void drawGlobeFrame(const Scene& scene, const sf::Texture& texture, Camera& camera);

// Draws the next frame as drawGlobeFrame() does and shows it.
void drawFrame(sf::Window& window, const Scene& scene, const sf::Texture& texture, Camera& camera);
