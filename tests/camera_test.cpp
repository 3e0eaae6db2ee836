#include "view/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

namespace {

using Key = sf::Keyboard;
constexpr auto pressed = sf::Event::KeyPressed, released = sf::Event::KeyReleased;

// One frame's turn at the key speed: 3.14159 / 60 as a float, written down.
constexpr float step = 0x1.acee88p-5f;

void handleKey(Camera& camera, sf::Event::EventType type, Key::Key code) {
    sf::Event event{};
    event.type = type;
    event.key.code = code;
    handleCameraEvent(camera, event);
}

void stepFrames(Camera& camera, int frames) {
    for (int frame = 0; frame < frames; ++frame) stepCamera(camera);
}

}  // namespace

// A repeated press does not speed up; Right while Left is held turns back, and releasing Right
// stops although Left is held; other keys change nothing; releasing either tilt key stops the
// tilt. Losing the focus stops both turns where they stand (their keys are released elsewhere,
// unseen) until the next press. Sums of a few steps are exact.
TEST(Camera, ArrowKeysTurnAStepAFrameWhileHeld) {
    const struct {
        sf::Event::EventType type;
        Key::Key code;
        int frames;
        float yaw, pitch;
    } script[] = {{pressed, Key::Left, 1, step, 0},
                  {pressed, Key::Left, 1, 2 * step, 0},
                  {pressed, Key::Right, 2, 0, 0},
                  {pressed, Key::Escape, 1, -step, 0},
                  {released, Key::A, 1, -2 * step, 0},
                  {released, Key::Right, 3, -2 * step, 0},
                  {pressed, Key::Up, 2, -2 * step, 2 * step},
                  {released, Key::Up, 2, -2 * step, 2 * step},
                  {pressed, Key::Down, 2, -2 * step, 0},
                  {released, Key::Down, 2, -2 * step, 0},
                  {pressed, Key::Right, 0, -2 * step, 0},
                  {pressed, Key::Up, 2, -4 * step, 2 * step},
                  {sf::Event::LostFocus, Key::Unknown, 5, -4 * step, 2 * step},
                  {pressed, Key::Left, 2, -2 * step, 2 * step}};
    Camera camera;
    for (const auto& [type, code, frames, yaw, pitch] : script) {
        handleKey(camera, type, code);
        stepFrames(camera, frames);
        EXPECT_EQ(camera.yaw, yaw) << type << " " << code;
        EXPECT_EQ(camera.pitch, pitch) << type << " " << code;
    }
}

// Nobody steers a screensaver's globe: it turns frame by frame exactly as under a held Left,
// and neither tilts nor moves the eye. Sixty frames turn by the key speed, rounding and all.
TEST(Camera, TurningCameraTurnsAsLeftHeld) {
    Camera turning = turningCamera(), held;
    handleKey(held, pressed, Key::Left);
    for (int frame = 1; frame <= 120; ++frame) {
        stepCamera(turning);
        stepCamera(held);
        ASSERT_EQ(turning.yaw, held.yaw) << frame;
        if (frame == 60) {
            EXPECT_EQ(held.yaw, 0x1.921f9ap+1f);
        }
    }
    EXPECT_EQ(turning.pitch, 0);
    EXPECT_EQ(turning.distance, Camera{}.distance);
}

// The step that would pass a pole is refused, not clamped: the tilt stays at its last value
// short of 90 degrees, written down from the camera, and holding on changes nothing.
TEST(Camera, TiltStopsShortOfThePoles) {
    Camera camera;
    handleKey(camera, pressed, Key::Up);
    stepFrames(camera, 2000);
    EXPECT_EQ(camera.pitch, 0x1.67d216p+6f);  // 89.955162
    handleKey(camera, pressed, Key::Down);
    stepFrames(camera, 4000);
    EXPECT_EQ(camera.pitch, -0x1.67d216p+6f);
}

// SFML reports each notch of the vertical wheel twice, scrolled (as wheel 0) and moved; the
// sideways wheel is scrolled as often, one way.
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

// The camera rounds once per stored value, where GLM's float functions round after every step,
// so the entries are pinned bit for bit as the camera gave them, and only near GLM's: at rest;
// near, turned; beyond the centre, turned and tilted; far out, turned and tilted to a pole.
TEST(Camera, MatrixIsTheProjectionTimesViewAndModelRoundedOnce) {
    const struct {
        Camera camera;
        float mvp[16];
    } pinned[] = {
        {Camera{},
         {0x1.5ba59p+0, 0, 0, 0, 0, 0x1.3504f2p+1, 0, 0, 0, 0, -0x1.008334p+0, -1, 0, 0,
          0x1.6724a4p+1, 3}},
        {Camera{0.625f, -47.1f},
         {0x1.d94cfep-1, 0, -0x1.77d018p-1, -0x1.770fdep-1, 0, 0x1.3504f2p+1, 0, 0, -0x1.fd5512p-1,
          0, -0x1.5d3a12p-1, -0x1.5c8772p-1, 0, 0, 0x1.b446bap-2, 0x1.4p-1}},
        {Camera{-0.375f, 12.3f, 47.1f},
         {-0x1.53aaaep+0, 0x1.81ca14p-2, -0x1.29956ep-3, -0x1.28fd38p-3, 0, 0x1.a4b638p+0,
          0x1.77d018p-1, 0x1.770fdep-1, -0x1.283cbep-2, -0x1.ba58f4p+0, 0x1.5535e6p-1, 0x1.54876p-1,
          0, 0, 0x1.67870cp-3, 0x1.8p-2}},
        {Camera{7.625f, 47.1f, -90.0f},
         {0x1.d94cfcp-1, -0x1.c4bd66p+0, -0x1.139abap-25, -0x1.130dc2p-25, 0, -0x1.c53df2p-24,
          0x1.008334p+0, 1, 0x1.fd551p-1, 0x1.a4b638p+0, 0x1.001b7ep-25, 0x1.ff30fep-26, 0, 0,
          0x1.dc2a06p+2, 0x1.e8p+2}},
    };
    for (const auto& [camera, expected] : pinned) {
        SCOPED_TRACE(camera.distance);
        const glm::mat4 mvp = buildMvp(camera, buildProjection());
        const glm::mat4 glmMvp =
            glm::perspective(glm::radians(45.0f), 1.7777778f, 0.1f, 100.0f) *
            glm::lookAt(glm::vec3(0, 0, camera.distance), {}, {0, 1, 0}) *
            glm::rotate(glm::rotate(glm::mat4(1), glm::radians(camera.pitch), {1, 0, 0}),
                        glm::radians(camera.yaw), {0, 1, 0});
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(glm::value_ptr(mvp)[i], expected[i]) << i;
            EXPECT_NEAR(expected[i], glm::value_ptr(glmMvp)[i],
                        1e-5 * std::fmax(1.0f, std::fabs(expected[i])));
        }
    }
    // The eye on the centre leaves the view without a direction: every entry is not a number.
    const glm::mat4 onCentre = buildMvp(Camera{0.0f}, buildProjection());
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isnan(glm::value_ptr(onCentre)[i])) << i;
}
