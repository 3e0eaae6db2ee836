#include "view/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "globe/globe.h"

namespace {

using Key = sf::Keyboard;
constexpr auto pressed = sf::Event::KeyPressed, released = sf::Event::KeyReleased;

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
    for (const KeyStep& keyStep : script) {
        sf::Event event{};
        event.type = keyStep.type;
        event.key.code = keyStep.code;
        handleCameraEvent(camera, event);
        for (int frame = 0; frame < keyStep.frames; ++frame) {
            const Camera before = camera;
            stepCamera(camera);
            const float pitch = before.pitch + keyStep.pitchSteps * step;
            ASSERT_EQ(camera.yaw, before.yaw + keyStep.yawSteps * step) << keyStep.code;
            ASSERT_EQ(camera.pitch, std::fabs(pitch) <= 90 ? pitch : before.pitch) << keyStep.code;
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

// SFML reports each notch of the vertical wheel twice, scrolled (as wheel 0) and moved; the
// sideways wheel is scrolled as often, one way. Three notches up bring the eye from 3 to
// 2.625, six down take it to 3.375.
TEST(Camera, EachVerticalWheelNotchMovesTheEyeAnEighthOnce) {
    sf::Event scrolled{}, moved{}, sideways{};
    scrolled.type = sideways.type = sf::Event::MouseWheelScrolled;
    moved.type = sf::Event::MouseWheelMoved;
    sideways.mouseWheelScroll.wheel = sf::Mouse::HorizontalWheel;
    sideways.mouseWheelScroll.delta = 1;
    Camera camera;
    for (const auto& [notches, distance] : {std::pair{3, 2.625f}, std::pair{-6, 3.375f}}) {
        scrolled.mouseWheelScroll.delta = moved.mouseWheel.delta = notches > 0 ? 1 : -1;
        for (int notch = 0; notch < std::abs(notches); ++notch)
            for (const sf::Event& event : {scrolled, moved, sideways})
                handleCameraEvent(camera, event);
        EXPECT_EQ(camera.distance, distance);
    }
}

// GLM rounds after every step where the camera rounds once. At rest; the eye on the centre
// (every entry not a number); near it; beyond it; far out, turned and tilted to a pole.
TEST(Camera, MatrixIsTheProjectionTimesGlmViewAndModel) {
    for (const Camera& camera : {Camera{}, Camera{0.0f}, Camera{0.625f, -47.1f},
                                 Camera{-0.375f, 12.3f, 47.1f}, Camera{7.625f, 47.1f, -90.0f}}) {
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
