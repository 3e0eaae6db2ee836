#pragma once

#include <SFML/Window/Event.hpp>
#include <glm/mat4x4.hpp>

// The orbit camera: the eye sits on the +z axis looking at the centre, and the globe
// turns under it. Angles are in degrees, speeds in degrees per 60 frames.
struct Camera {
    float distance = 3.0f;
    float yaw = 0.0f;
    float pitch = 0.0f;
    float yawSpeed = 0.0f;
    float pitchSpeed = 0.0f;
};

// The camera of a picture nobody steers, such as a screensaver's: the globe turns about its
// vertical axis by itself, as fast and in the same sense as while Left is held.
Camera turningCamera();

// Arrow keys set or stop a turn, and the window's losing the focus stops both; the wheel
// moves the eye. Other events change nothing.
void handleCameraEvent(Camera& camera, const sf::Event& event);

// The fixed perspective projection, built once.
glm::mat4 buildProjection();

// Advances the turn by one frame at the current speeds.
void stepCamera(Camera& camera);

// projection * view * model for the camera as it stands.
glm::mat4 buildMvp(const Camera& camera, const glm::mat4& projection);
