#pragma once

#include <SFML/Window/Window.hpp>

// Opens the viewer's fullscreen 1280 x 720 window with its OpenGL context.
void openViewerWindow(sf::Window& window);
