#include "view/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "globe/globe.h"

namespace {

using Key = sf::Keyboard;
constexpr auto pressed = sf::Event::KeyPressed, released = sf::Event::KeyReleased;

void key(Camera& camera, sf::Event::EventType type, Key::Key code) {
    sf::Event event{};
    event.type = type;
    event.key.code = code;
    handleCameraEvent(camera, event);
}

// SFML reports each notch of the vertical wheel twice, scrolled (as wheel 0) and moved; the
// sideways wheel is scrolled as often, one way.
void turnWheels(Camera& camera, int notches) {
    sf::Event scrolled{}, moved{}, sideways{};
    scrolled.type = sideways.type = sf::Event::MouseWheelScrolled;
    moved.type = sf::Event::MouseWheelMoved;
    sideways.mouseWheelScroll.wheel = sf::Mouse::HorizontalWheel;
    scrolled.mouseWheelScroll.delta = moved.mouseWheel.delta = notches > 0 ? 1 : -1;
    sideways.mouseWheelScroll.delta = 1;
    for (int notch = 0; notch < std::abs(notches); ++notch)
        for (const sf::Event& event : {scrolled, moved, sideways}) handleCameraEvent(camera, event);
}

// A key event, then frames in which yaw and pitch each move by a number of steps, except
// that a pitch step past a pole is refused.
struct KeyStep {
    sf::Event::EventType type;
    Key::Key code;
    int frames, yawSteps, pitchSteps;
};

void play(std::initializer_list<KeyStep> script) {
    const float step = pi / 60.0f;
    Camera camera;
    for (const KeyStep& event : script) {
        key(camera, event.type, event.code);
        for (int frame = 0; frame < event.frames; ++frame) {
            const float yaw = camera.yaw + event.yawSteps * step, pitch = camera.pitch;
            stepCamera(camera);
            ASSERT_EQ(camera.yaw, yaw) << event.code;
            const float stepped = pitch + event.pitchSteps * step;
            ASSERT_EQ(camera.pitch, std::fabs(stepped) <= 90 ? stepped : pitch) << event.code;
        }
    }
}

}  // namespace

// A repeated press does not speed up; Right while Left is held turns back, and releasing
// Right stops although Left is held; other keys change nothing.
TEST(Camera, ArrowKeysTurnAStepAFrameWhileHeld) {
    play({{pressed, Key::Left, 1, 1, 0},
          {pressed, Key::Left, 1, 1, 0},
          {pressed, Key::Right, 2, -1, 0},
          {pressed, Key::Escape, 1, -1, 0},
          {released, Key::A, 1, -1, 0},
          {released, Key::Right, 1, 0, 0}});
}

TEST(Camera, ReleasingEitherTiltKeyStopsTheTilt) {
    play({{pressed, Key::Up, 9, 0, 1},
          {released, Key::Up, 9, 0, 0},
          {pressed, Key::Down, 9, 0, -1},
          {released, Key::Down, 9, 0, 0}});
}

TEST(Camera, TiltStopsShortOfThePoles) {
    play({{pressed, Key::Up, 2000, 0, 1}, {pressed, Key::Down, 4000, 0, -1}});
}

TEST(Camera, EachVerticalWheelNotchMovesTheEyeAnEighthOnce) {
    Camera camera;
    turnWheels(camera, 3);
    EXPECT_EQ(camera.distance, 2.625f);
    turnWheels(camera, -6);
    EXPECT_EQ(camera.distance, 3.375f);
}

// GLM's float arithmetic rounds after every step, where the camera rounds once, so the two
// agree within float tolerance. Wheel notches and a key press, then 899 frames: at rest;
// the eye on the centre, where every entry is not a number; near it; beyond it; far out and
// turned back, at a pole.
TEST(Camera, MatrixIsTheProjectionTimesGlmViewAndModel) {
    Camera camera;
    const struct {
        int notches;
        Key::Key pressed;
    } script[] = {
        {0, Key::Unknown}, {24, Key::Unknown}, {-5, Key::Right}, {8, Key::Up}, {-37, Key::Left}};
    for (const auto& [notches, code] : script) {
        turnWheels(camera, notches);
        key(camera, pressed, code);
        for (int frame = 0; frame < 899; ++frame) stepCamera(camera);
        const glm::mat4 mvp = buildMvp(camera, buildProjection());
        const glm::mat4 expected =
            glm::perspective(glm::radians(45.0f), 1.7777778f, 0.1f, 100.0f) *
            glm::lookAt(glm::vec3(0, 0, camera.distance), {}, {0, 1, 0}) *
            glm::rotate(glm::rotate(glm::mat4(1), glm::radians(camera.pitch), {1, 0, 0}),
                        glm::radians(camera.yaw), {0, 1, 0});
        const float *a = glm::value_ptr(mvp), *e = glm::value_ptr(expected);
        for (int i = 0; i < 16; ++i) {
            if (std::isnan(a[i]) && std::isnan(e[i])) continue;
            EXPECT_NEAR(a[i], e[i], 1e-5 * std::max(1.0f, std::fabs(e[i]))) << i;
        }
    }
}
