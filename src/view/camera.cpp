#include "view/camera.h"

#include <cmath>

#include "globe/globe.h"
#include "view/matrix_math.h"

namespace {

// The short pi of globe.h, read as a number of degrees per 60 frames, not as radians.
constexpr float keySpeed = pi;
constexpr float framesPerSpeedUnit = 60.0f;
constexpr float wheelStep = 0.125f;
constexpr float maxPitch = 90.0f;

constexpr float fieldOfView = 45.0f;
// 16:9 as a float, fixed rather than read from the window.
constexpr float aspect = 1.7777778f;
constexpr float nearPlane = 0.1f;
constexpr float farPlane = 100.0f;

// Works an expression out in double precision and rounds it once, as every stored
// value of the camera is.
float rounded(double value) {
    return static_cast<float>(value);
}

}  // namespace

Camera turningCamera() {
    Camera camera;
    camera.yawSpeed = keySpeed;
    return camera;
}

void handleCameraEvent(Camera& camera, const sf::Event& event) {
    switch (event.type) {
        case sf::Event::KeyPressed:
            // A press sets the speed rather than adding to it, so key repeat is harmless.
            switch (event.key.code) {
                case sf::Keyboard::Left: camera.yawSpeed = keySpeed; break;
                case sf::Keyboard::Right: camera.yawSpeed = -keySpeed; break;
                case sf::Keyboard::Up: camera.pitchSpeed = keySpeed; break;
                case sf::Keyboard::Down: camera.pitchSpeed = -keySpeed; break;
                default: break;
            }
            break;
        case sf::Event::KeyReleased:
            // Releasing either key of a pair stops that axis.
            switch (event.key.code) {
                case sf::Keyboard::Left:
                case sf::Keyboard::Right: camera.yawSpeed = 0.0f; break;
                case sf::Keyboard::Up:
                case sf::Keyboard::Down: camera.pitchSpeed = 0.0f; break;
                default: break;
            }
            break;
        case sf::Event::LostFocus:
            // A key released while another window has the focus never comes here: the turn
            // would go on until that key was pressed and released again.
            camera.yawSpeed = 0.0f;
            camera.pitchSpeed = 0.0f;
            break;
        case sf::Event::MouseWheelScrolled:
            // SFML also sends the older MouseWheelMoved for every notch; only this one
            // is counted, so a notch moves the eye once.
            if (event.mouseWheelScroll.wheel == sf::Mouse::VerticalWheel) {
                camera.distance =
                    rounded(camera.distance - double{event.mouseWheelScroll.delta} * wheelStep);
            }
            break;
        default: break;
    }
}

glm::mat4 buildProjection() {
    const double near = nearPlane, far = farPlane;
    const float tangent = rounded(std::tan(double{degreesToRadians(fieldOfView * 0.5f)}));
    const float range = rounded(tangent * near);
    const float left = rounded(-range * double{aspect});
    const float right = rounded(range * double{aspect});
    const float bottom = -range;
    const float top = range;

    glm::mat4 projection(0.0f);
    projection[0][0] = rounded(2.0 * near / (double{right} - left));
    projection[1][1] = rounded(2.0 * near / (double{top} - bottom));
    projection[2][2] = rounded(-(far + near) / (far - near));
    projection[2][3] = -1.0f;
    projection[3][2] = rounded(-(2.0 * far * near) / (far - near));
    return projection;
}

void stepCamera(Camera& camera) {
    const float pitchStep = camera.pitchSpeed / framesPerSpeedUnit;
    const float yawStep = camera.yawSpeed / framesPerSpeedUnit;
    camera.yaw += yawStep;
    // A step that would take the pitch past a pole is refused, not clamped.
    const float candidatePitch = camera.pitch + pitchStep;
    if (candidatePitch >= -maxPitch && candidatePitch <= maxPitch) camera.pitch = candidatePitch;
}

glm::mat4 buildMvp(const Camera& camera, const glm::mat4& projection) {
    glm::mat4 model = rotateMatrix(glm::mat4(1.0f), camera.pitch, glm::vec3(1, 0, 0));
    model = rotateMatrix(model, camera.yaw, glm::vec3(0, 1, 0));
    const glm::mat4 view =
        lookAtMatrix(glm::vec3(0, 0, camera.distance), glm::vec3(0, 0, 0), glm::vec3(0, 1, 0));
    return multiplyMatrices(multiplyMatrices(projection, view), model);
}
