#include "camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <glm/gtc/matrix_transform.hpp>

#include "constants.h"

namespace {

constexpr float aspect = 1.7777778f;
constexpr float nearPlane = 0.1f;
constexpr float farPlane = 100.0f;
constexpr float pitchLimit = 90.0f;

sf::Event keyEvent(sf::Event::EventType type, sf::Keyboard::Key code) {
    sf::Event event{};
    event.type = type;
    event.key.code = code;
    return event;
}

sf::Event press(sf::Keyboard::Key code) {
    return keyEvent(sf::Event::KeyPressed, code);
}

sf::Event release(sf::Keyboard::Key code) {
    return keyEvent(sf::Event::KeyReleased, code);
}

sf::Event scrolled(float delta, sf::Mouse::Wheel wheel = sf::Mouse::VerticalWheel) {
    sf::Event event{};
    event.type = sf::Event::MouseWheelScrolled;
    event.mouseWheelScroll.wheel = wheel;
    event.mouseWheelScroll.delta = delta;
    return event;
}

// The older event SFML sends alongside every scrolled notch.
sf::Event wheelMoved(int delta) {
    sf::Event event{};
    event.type = sf::Event::MouseWheelMoved;
    event.mouseWheel.delta = delta;
    return event;
}

int countEntries(const glm::mat4& matrix, bool (*predicate)(float)) {
    int count = 0;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) count += predicate(matrix[column][row]) ? 1 : 0;
    return count;
}

void expectMatricesNear(const glm::mat4& actual, const glm::mat4& expected) {
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            EXPECT_NEAR(actual[column][row], expected[column][row],
                        1e-5 * std::max(1.0f, std::fabs(expected[column][row])))
                << "column " << column << ", row " << row;
}

// Advances while the pitch still moves and returns it, failing if it ever leaves the range.
float holdPitchUntilItStops(Camera& camera, const glm::mat4& projection) {
    const float step = camera.pitchSpeed / 60.0f;
    for (int frame = 0; frame < 10000; ++frame) {
        const float before = camera.pitch;
        advanceCamera(camera, projection);
        EXPECT_LE(std::fabs(camera.pitch), pitchLimit);
        if (camera.pitch == before) return camera.pitch;
        EXPECT_EQ(camera.pitch, before + step);
    }
    ADD_FAILURE() << "the pitch never stopped";
    return camera.pitch;
}

}  // namespace

TEST(Projection, EntriesFollowTheClosedForms) {
    const glm::mat4 projection = buildProjection();
    const double t = std::tan(22.5 * 0.017453293005625408);
    const double n = nearPlane;
    const double f = farPlane;
    EXPECT_NEAR(projection[0][0], 1.0 / (aspect * t), 1e-6);
    EXPECT_NEAR(projection[1][1], 1.0 / t, 1e-6);
    EXPECT_NEAR(projection[2][2], -(f + n) / (f - n), 1e-6);
    EXPECT_EQ(projection[2][3], -1.0f);
    EXPECT_NEAR(projection[3][2], -2.0 * f * n / (f - n), 1e-6);
    EXPECT_EQ(countEntries(projection, [](float entry) { return entry != 0.0f; }), 5);
}

TEST(Camera, WithoutInputEveryFrameShowsTheCentredGlobeFromThreeUnits) {
    const glm::mat4 projection = buildProjection();
    Camera camera;
    const glm::mat4 first = advanceCamera(camera, projection);
    for (int frame = 0; frame < 100; ++frame) EXPECT_EQ(advanceCamera(camera, projection), first);

    const glm::vec4 centre = first * glm::vec4(0, 0, 0, 1);
    EXPECT_EQ(centre.x, 0.0f);
    EXPECT_EQ(centre.y, 0.0f);
    EXPECT_FLOAT_EQ(centre.w, 3.0f);
    // The eye itself lies in the plane of zero depth.
    EXPECT_FLOAT_EQ((first * glm::vec4(0, 0, 3, 1)).w, 0.0f);
}

TEST(Camera, PitchStopsShortOfThePolesWithoutWrapping) {
    const glm::mat4 projection = buildProjection();
    Camera camera;
    handleCameraEvent(camera, press(sf::Keyboard::Up));
    const float top = holdPitchUntilItStops(camera, projection);
    EXPECT_GT(top + pi / 60.0f, pitchLimit);
    for (int frame = 0; frame < 10; ++frame) advanceCamera(camera, projection);
    EXPECT_EQ(camera.pitch, top);

    handleCameraEvent(camera, release(sf::Keyboard::Up));
    handleCameraEvent(camera, press(sf::Keyboard::Down));
    const float bottom = holdPitchUntilItStops(camera, projection);
    EXPECT_LT(bottom - pi / 60.0f, -pitchLimit);
}

TEST(Camera, ArrowKeysSetTheSpinAndOtherKeysDoNothing) {
    const glm::mat4 projection = buildProjection();
    const float step = pi / 60.0f;
    Camera camera;

    // Key repeat arrives as further presses; they must not speed the spin up.
    for (int repeat = 0; repeat < 5; ++repeat) handleCameraEvent(camera, press(sf::Keyboard::Left));
    advanceCamera(camera, projection);
    EXPECT_EQ(camera.yaw, step);

    handleCameraEvent(camera, press(sf::Keyboard::Right));
    advanceCamera(camera, projection);
    advanceCamera(camera, projection);
    EXPECT_EQ(camera.yaw, step - step - step);

    // Releasing Right stops the spin although Left is still held.
    handleCameraEvent(camera, release(sf::Keyboard::Right));
    const float stopped = camera.yaw;
    advanceCamera(camera, projection);
    EXPECT_EQ(camera.yaw, stopped);

    const Camera before = camera;
    for (sf::Keyboard::Key key : {sf::Keyboard::Escape, sf::Keyboard::A}) {
        handleCameraEvent(camera, press(key));
        handleCameraEvent(camera, release(key));
    }
    EXPECT_EQ(std::memcmp(&camera, &before, sizeof camera), 0);
}

TEST(Camera, EachWheelNotchMovesTheEyeOnceAndMayPassTheCentre) {
    const glm::mat4 projection = buildProjection();
    Camera camera;
    const glm::mat4 start = advanceCamera(camera, projection);

    handleCameraEvent(camera, scrolled(1.0f));
    handleCameraEvent(camera, wheelMoved(1));
    EXPECT_EQ(camera.distance, 2.875f);
    handleCameraEvent(camera, scrolled(1.0f, sf::Mouse::HorizontalWheel));
    EXPECT_EQ(camera.distance, 2.875f);

    for (int notch = 1; notch < 24; ++notch) handleCameraEvent(camera, scrolled(1.0f));
    EXPECT_EQ(camera.distance, 0.0f);
    const glm::mat4 atCentre = advanceCamera(camera, projection);
    EXPECT_EQ(countEntries(atCentre, [](float entry) { return std::isnan(entry); }), 16);

    handleCameraEvent(camera, scrolled(1.0f));
    const glm::mat4 beyond = advanceCamera(camera, projection);
    EXPECT_EQ(countEntries(beyond, [](float entry) { return std::isfinite(entry); }), 16);

    for (int notch = 0; notch < 25; ++notch) handleCameraEvent(camera, scrolled(-1.0f));
    EXPECT_EQ(advanceCamera(camera, projection), start);
}

TEST(Camera, MatrixAgreesWithGlmComposition) {
    const glm::mat4 projection = buildProjection();
    const glm::mat4 glmProjection =
        glm::perspective(glm::radians(45.0f), aspect, nearPlane, farPlane);
    Camera camera;

    const auto expectAgreement = [&](int frames) {
        glm::mat4 mvp;
        for (int frame = 0; frame < frames; ++frame) mvp = advanceCamera(camera, projection);
        glm::mat4 model =
            glm::rotate(glm::mat4(1.0f), glm::radians(camera.pitch), glm::vec3(1, 0, 0));
        model = glm::rotate(model, glm::radians(camera.yaw), glm::vec3(0, 1, 0));
        const glm::mat4 view =
            glm::lookAt(glm::vec3(0, 0, camera.distance), glm::vec3(0), glm::vec3(0, 1, 0));
        expectMatricesNear(mvp, glmProjection * view * model);
    };

    handleCameraEvent(camera, press(sf::Keyboard::Left));
    handleCameraEvent(camera, press(sf::Keyboard::Up));
    expectAgreement(90);

    handleCameraEvent(camera, press(sf::Keyboard::Down));
    for (int notch = 0; notch < 10; ++notch) handleCameraEvent(camera, scrolled(-1.0f));
    expectAgreement(200);

    handleCameraEvent(camera, release(sf::Keyboard::Down));
    handleCameraEvent(camera, press(sf::Keyboard::Right));
    for (int notch = 0; notch < 30; ++notch) handleCameraEvent(camera, scrolled(1.0f));
    expectAgreement(500);

    // The eye on the far side of the centre.
    for (int notch = 0; notch < 8; ++notch) handleCameraEvent(camera, scrolled(1.0f));
    expectAgreement(1);
}

// GLM's float arithmetic rounds after every step; at these two states it lands an ulp away
// from a value carried in double precision and rounded once.
TEST(Camera, EntriesAreRoundedOnceFromDoublePrecision) {
    const glm::mat4 projection = buildProjection();
    Camera camera;
    handleCameraEvent(camera, press(sf::Keyboard::Right));
    glm::mat4 mvp;
    for (int frame = 0; frame < 899; ++frame) mvp = advanceCamera(camera, projection);
    const double radians = static_cast<float>(camera.yaw * 0.017453293005625408);
    const float cosine = static_cast<float>(std::cos(radians));
    EXPECT_EQ(mvp[0][0], static_cast<float>(projection[0][0] * static_cast<double>(cosine)));

    for (int notch = 0; notch < 19; ++notch) handleCameraEvent(camera, scrolled(1.0f));
    ASSERT_EQ(camera.distance, 0.625f);
    mvp = advanceCamera(camera, projection);
    EXPECT_EQ(mvp[3][2], static_cast<float>(projection[2][2] * -0.625 + projection[3][2]));
}
