#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "camera.h"
#include "gl_context.h"
#include "globe.h"
#include "render.h"
#include "test_ramp.h"

namespace {

// The viewer's 16:9 shape at a quarter of its size: llvmpipe's cost is the vertex work
// of the 1.5 M indices, the smaller window only trims the fill.
constexpr unsigned windowWidth = 320;
constexpr unsigned windowHeight = 180;
constexpr unsigned reliefSeed = 20240601;
// A background the globe never takes, so that what was drawn can be told apart.
constexpr std::uint32_t clearColour = rgba(64, 64, 64);

struct Globe {
    std::vector<std::uint32_t> indices;
    std::vector<glm::vec3> positions;
};

const Globe& flatGlobe() {
    static const Globe globe = [] {
        Globe built;
        generateSphere(built.indices, built.positions);
        return built;
    }();
    return globe;
}

const Globe& reliefGlobe() {
    static const Globe globe = [] {
        Globe built = flatGlobe();
        std::srand(reliefSeed);
        applyFaults(built.positions);
        return built;
    }();
    return globe;
}

// Runs the action with an empty temporary directory as the working directory, after
// writing "terrain.png" there unless no image is given.
void inTerrainDirectory(const sf::Image* terrain, const std::function<void()>& action) {
    char pattern[] = "/tmp/quillmere-mesh-XXXXXX";
    const std::string directory = mkdtemp(pattern);
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(directory.c_str()), 0);
    if (terrain != nullptr) {
        EXPECT_TRUE(terrain->saveToFile("terrain.png"));
    }
    action();
    EXPECT_EQ(chdir(previous), 0);
    std::free(previous);
    std::remove((directory + "/terrain.png").c_str());
    rmdir(directory.c_str());
}

// The viewer's set-up after the window: depth test, program, start camera, texture.
void prepareViewerState(sf::Texture& texture) {
    glEnable(GL_DEPTH_TEST);
    glClearColor((clearColour >> 24) / 255.0f, (clearColour >> 16 & 0xFF) / 255.0f,
                 (clearColour >> 8 & 0xFF) / 255.0f, 1.0f);
    const GLuint program = createProgram(vertexShaderSource, fragmentShaderSource);
    glUseProgram(program);
    Camera camera;
    uploadMvp(glGetUniformLocation(program, "mvp"), advanceCamera(camera, buildProjection()));
    loadTerrainTexture(texture, program);
}

void forgetBindings() {
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDisableVertexAttribArray(0);
}

std::vector<std::uint8_t> drawnPicture(const GlobeMesh& mesh, const sf::Texture& texture) {
    drawGlobe(mesh, texture);
    return readPixels(windowWidth, windowHeight);
}

std::set<std::uint32_t> coloursIn(const std::vector<std::uint8_t>& pixels) {
    std::set<std::uint32_t> colours;
    for (unsigned y = 0; y < windowHeight; ++y) {
        for (unsigned x = 0; x < windowWidth; ++x)
            colours.insert(pixelAt(pixels, windowWidth, x, y));
    }
    return colours;
}

GLint bufferSize(GLenum target, GLuint buffer) {
    GLint size = 0;
    glBindBuffer(target, buffer);
    glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
    return size;
}

}  // namespace

TEST(GlobeMesh, UploadHoldsEveryPositionAndIndex) {
    sf::Window window;
    ASSERT_TRUE(openTestWindow(window, windowWidth, windowHeight));
    const GlobeMesh mesh =
        uploadGlobe(reliefGlobe().indices, reliefGlobe().positions, vertexArraysAvailable());
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, mesh.vertexBuffer), 3'145'728);
    EXPECT_EQ(bufferSize(GL_ELEMENT_ARRAY_BUFFER, mesh.indexBuffer), 6'291'456);
    EXPECT_EQ(mesh.indexCount, 1'572'864);
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
}

TEST(GlobeMesh, DrawWithoutVertexArraysMatchesDrawWithThem) {
    sf::Window window;
    ASSERT_TRUE(openTestWindow(window, windowWidth, windowHeight));
    ASSERT_TRUE(vertexArraysAvailable());
    const sf::Image ramp = testRampImage();
    inTerrainDirectory(&ramp, [] {
        sf::Texture texture;
        prepareViewerState(texture);
        // The plain path first, so that no vertex array is bound while it draws. Both
        // draws start from cleared bindings: each frame has to set up what it reads.
        const GlobeMesh plain = uploadGlobe(reliefGlobe().indices, reliefGlobe().positions, false);
        EXPECT_EQ(plain.vertexArray, 0u);
        forgetBindings();
        const std::vector<std::uint8_t> plainPicture = drawnPicture(plain, texture);
        const GlobeMesh withArray =
            uploadGlobe(reliefGlobe().indices, reliefGlobe().positions, true);
        EXPECT_NE(withArray.vertexArray, 0u);
        glBindVertexArray(0);
        forgetBindings();
        const std::vector<std::uint8_t> arrayPicture = drawnPicture(withArray, texture);

        // Relief spreads the globe over many ramp texels; a blank frame would match too.
        EXPECT_GT(coloursIn(plainPicture).size(), 20u);
        EXPECT_TRUE(plainPicture == arrayPicture);
        EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
    });
}

// Three texels, so that the middle of the ramp is one whole texel: a flat globe's
// heights sit within rounding of 1.0, exactly on the boundary of a 256-wide ramp.
TEST(GlobeMesh, GlobeWithoutReliefTakesTheMiddleOfTheRamp) {
    sf::Window window;
    ASSERT_TRUE(openTestWindow(window, windowWidth, windowHeight));
    sf::Image ramp;
    ramp.create(3, 1);
    ramp.setPixel(0, 0, sf::Color::Red);
    ramp.setPixel(1, 0, sf::Color::Green);
    ramp.setPixel(2, 0, sf::Color::Blue);
    inTerrainDirectory(&ramp, [] {
        sf::Texture texture;
        prepareViewerState(texture);
        const GlobeMesh mesh =
            uploadGlobe(flatGlobe().indices, flatGlobe().positions, vertexArraysAvailable());
        const std::vector<std::uint8_t> picture = drawnPicture(mesh, texture);
        EXPECT_EQ(coloursIn(picture), (std::set<std::uint32_t>{clearColour, rgba(0, 255, 0)}));
        EXPECT_EQ(pixelAt(picture, windowWidth, windowWidth / 2, windowHeight / 2),
                  rgba(0, 255, 0));
    });
}

TEST(GlobeMesh, MissingTerrainImageDrawsTheGlobeBlack) {
    sf::Window window;
    ASSERT_TRUE(openTestWindow(window, windowWidth, windowHeight));
    inTerrainDirectory(nullptr, [] {
        sf::Texture texture;
        prepareViewerState(texture);
        const GlobeMesh mesh =
            uploadGlobe(reliefGlobe().indices, reliefGlobe().positions, vertexArraysAvailable());
        const std::vector<std::uint8_t> picture = drawnPicture(mesh, texture);
        EXPECT_EQ(coloursIn(picture), (std::set<std::uint32_t>{clearColour, rgba(0, 0, 0)}));
        EXPECT_EQ(pixelAt(picture, windowWidth, windowWidth / 2, windowHeight / 2), rgba(0, 0, 0));
    });
}
