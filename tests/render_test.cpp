#include "render/render.h"

#include <gtest/gtest.h>

#include <SFML/Graphics/Image.hpp>
#include <SFML/Window/Window.hpp>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <glm/geometric.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/window.h"
#include "globe/globe.h"
#include "tests/fixture.h"
#include "view/camera.h"

namespace {

// The viewer's 16:9 shape at a quarter of its size.
constexpr unsigned width = 320, height = 180;

// Texel t is (t, 0 or 255, 128): red names the texel, green flips between neighbours so
// that any mixing of two texels shows, and blue is 128 wherever the globe covers a pixel.
sf::Uint32 texel(unsigned t) {
    return sf::Color(t, t % 2 * 255, 128).toInteger();
}

// The picture read back, bottom row first, each pixel packed as sf::Color::toInteger does.
std::vector<sf::Uint32> pixels() {
    std::vector<sf::Uint32> read(width * height);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8, read.data());
    return read;
}

// Everything written to descriptor 2 while `run` runs, the driver's own output too.
template <typename Run>
std::string standardErrorOf(Run run) {
    testing::internal::CaptureStderr();
    run();
    return testing::internal::GetCapturedStderr();
}

std::string compileLog(GLenum type, const std::string& text) {
    const GLuint shader = glCreateShader(type);
    const GLchar* characters = text.c_str();
    glShaderSource(shader, 1, &characters, nullptr);
    glCompileShader(shader);
    char log[4096] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    return log;
}

const Globe& globe = testGlobe();

enum class RampFile { Present, Missing };

// The viewer's start-up steps after the window opens, with or without the test ramp to load, in
// a folder of its own: test entries running side by side share the working directory.
Scene setUpViewerScene(sf::Texture& texture, RampFile rampFile) {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::string folder = (std::filesystem::temp_directory_path() / "render_test.XXXXXX").string();
    std::filesystem::current_path(mkdtemp(folder.data()));
    sf::Image ramp;
    ramp.create(256, 1);
    for (unsigned t = 0; t < 256; ++t) ramp.setPixel(t, 0, sf::Color(texel(t)));
    if (rampFile == RampFile::Present) ramp.saveToFile("terrain.png");
    Scene scene = setUpScene(texture);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
    scene.mesh = uploadGlobe(globe.indices, globe.positions, vertexArraysAvailable());
    return scene;
}

// The globe from the camera's start, drawn from cleared bindings: a frame sets up what it reads.
std::vector<sf::Uint32> drawn(const Scene& scene, const GlobeMesh& mesh,
                              const sf::Texture& texture) {
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDisableVertexAttribArray(positionLocation);
    uploadMvp(scene.mvpLocation, buildMvp(Camera{}, scene.projection));
    drawGlobe(mesh, texture);
    return pixels();
}

// A window with the viewer's requested version and a depth buffer but no antialiasing,
// so that every pixel is wholly covered or not and colours read back exactly.
struct Gl : testing::Test {
    sf::Window window{sf::VideoMode(width, height), "gl test", sf::Style::None,
                      sf::ContextSettings(24, 0, 0, 2, 0)};
    sf::Texture texture;
    void SetUp() override {
        ASSERT_TRUE(window.setActive(true) && loadOpenGl());
    }
};

}  // namespace

TEST_F(Gl, ShaderTextsBuildWithoutAWord) {
    EXPECT_EQ(standardErrorOf([] { createProgram(vertexShaderSource, fragmentShaderSource); }), "");
}

TEST_F(Gl, ShaderFailuresLogTheVertexStageThenTheFragmentStageThenTheLink) {
    std::string vertex = vertexShaderSource, fragment = fragmentShaderSource;
    vertex.insert(vertex.find("gl_Position"), "undeclaredName = 1.0;");
    fragment.insert(fragment.find("gl_FragColor"), "undeclaredName = 1.0;");
    GLuint program = 0;
    const std::string written = standardErrorOf([&] { program = createProgram(vertex, fragment); });
    const std::string vertexLog = compileLog(GL_VERTEX_SHADER, vertex);
    const std::string fragmentLog = compileLog(GL_FRAGMENT_SHADER, fragment);
    char linkLog[4096] = "";
    glGetProgramInfoLog(program, sizeof linkLog, nullptr, linkLog);
    ASSERT_TRUE(!vertexLog.empty() && !fragmentLog.empty() && *linkLog);
    EXPECT_EQ(written, vertexLog + "\n" + fragmentLog + "\n" + linkLog + "\n");
}

TEST_F(Gl, ShaderFailuresWithEmptyLogsWriteBareLines) {
    // A driver for which every compile and link fails and leaves an empty log.
    const auto shaderQuery = glGetShaderiv;
    const auto programQuery = glGetProgramiv;
    glGetShaderiv = glGetProgramiv = [](GLuint, GLenum, GLint* value) { *value = 0; };
    const std::string written =
        standardErrorOf([] { createProgram(vertexShaderSource, fragmentShaderSource); });
    glGetShaderiv = shaderQuery;
    glGetProgramiv = programQuery;
    EXPECT_EQ(written, "\n\n\n");
}

// One point per height along the bottom row, placed by the matrix's translation alone.
// Heights a quarter texel either side of a texel's centre give that very texel.
TEST_F(Gl, ShaderHeightsPickRampTexelsLinearly) {
    const Scene scene = setUpViewerScene(texture, RampFile::Present);
    std::vector<std::pair<float, unsigned>> cases = {
        {0.0f, 0}, {0.96f, 0}, {1.04f, 255}, {2.0f, 255}, {1.0f, 128}};
    for (unsigned half = 0; half < 512; half += 3)  // half-texel steps, a third of them
        cases.push_back({float(0.96 + 0.08 * (half + 0.5) / 512), half / 2});
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glEnableVertexAttribArray(positionLocation);
    glVertexAttribPointer(positionLocation, 1, GL_FLOAT, GL_FALSE, sizeof cases[0],
                          &cases[0].first);
    sf::Texture::bind(&texture, sf::Texture::Normalized);
    glClear(GL_DEPTH_BUFFER_BIT);
    for (unsigned i = 0; i < cases.size(); ++i) {
        glm::mat4 toPixel(0.0f);
        toPixel[3] = {(i + 0.5f) * 2 / width - 1, 1.0f / height - 1, 0, 1};
        uploadMvp(scene.mvpLocation, toPixel);
        glDrawArrays(GL_POINTS, static_cast<GLint>(i), 1);
    }
    const std::vector<sf::Uint32> picture = pixels();
    for (unsigned i = 0; i < cases.size(); ++i)
        EXPECT_EQ(picture[i], texel(cases[i].second)) << cases[i].first;
}

// The grid's rows go round a full turn, so half of its triangles already cover the sphere: a
// draw or buffers cut short still show a whole globe. Only the buffers read back can tell.
TEST_F(Gl, UploadHoldsBothListsWhole) {
    const GlobeMesh mesh = uploadGlobe(globe.indices, globe.positions, true);
    const auto held = [](GLenum buffer, auto element) {  // the bound buffer, at the size it has
        GLint bytes = 0;
        glGetBufferParameteriv(buffer, GL_BUFFER_SIZE, &bytes);
        std::vector<decltype(element)> elements(bytes / sizeof element);
        glGetBufferSubData(buffer, 0, elements.size() * sizeof element, elements.data());
        return elements;
    };
    EXPECT_EQ(firstDifference(held(GL_ARRAY_BUFFER, glm::vec3()), globe.positions), "");
    EXPECT_TRUE(held(GL_ELEMENT_ARRAY_BUFFER, std::uint32_t()) == globe.indices);
    EXPECT_EQ(static_cast<std::size_t>(mesh.indexCount), globe.indices.size());
}

TEST_F(Gl, DrawWithoutVertexArraysShowsTheSamePicture) {
    const Scene scene = setUpViewerScene(texture, RampFile::Present);
    ASSERT_NE(scene.mesh.vertexArray, 0u);
    const std::vector<sf::Uint32> picture = drawn(scene, scene.mesh, texture);
    // Relief spreads the globe over many texels; a blank frame would match too.
    EXPECT_GT(std::set(picture.begin(), picture.end()).size(), 20u);
    EXPECT_TRUE(drawn(scene, uploadGlobe(globe.indices, globe.positions, false), texture) ==
                picture);
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
}

TEST_F(Gl, GlobeWithoutItsRampIsBlack) {
    glClearColor(0.25f, 0.25f, 0.25f, 1.0f);  // a colour the globe never takes
    const Scene scene = setUpViewerScene(texture, RampFile::Missing);
    const std::vector<sf::Uint32> picture = drawn(scene, scene.mesh, texture);
    EXPECT_EQ(std::set(picture.begin(), picture.end()),
              (std::set{sf::Color(64, 64, 64).toInteger(), sf::Color::Black.toInteger()}));
}

// The viewer's first frame in its own window. Reading a multisampled window gives one sample
// per pixel; a copy into a texture averages them, as showing the frame does.
struct ViewerFrame : testing::Test {
    static inline std::vector<sf::Uint32> picture = std::vector<sf::Uint32>(1280 * 720);
    static void SetUpTestSuite() {
        ViewerDisplay display = checkDisplay().value();
        {
            sf::Window window = makeWindowObject();
            ASSERT_TRUE(openViewer(window, display));
            sf::Texture texture;
            const Scene scene = setUpViewerScene(texture, RampFile::Present);
            drawn(scene, scene.mesh, texture);
            GLuint copy = 0;
            glGenTextures(1, &copy);
            glBindTexture(GL_TEXTURE_2D, copy);
            glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 0, 0, 1280, 720, 0);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8, picture.data());
        }
        closeDisplay(display);
    }
};

// Blue between the globe's 128 and the background's 0 is a pixel both share: multisampling.
TEST_F(ViewerFrame, OutlinePixelsBlendWithTheBackground) {
    int blended = 0;
    for (const sf::Uint32 pixel : picture) blended += sf::Color(pixel).b % 128 != 0;
    EXPECT_GT(blended, 1000);
}

// Grid points around (128, 128), which faces the eye, land where the camera puts them and
// show their own texel, not that of the far side around the antipode (128, 384).
TEST_F(ViewerFrame, ShowsTheNearSideOfTheGlobe) {
    const auto height = [](int i, int j) { return glm::length(globe.positions[i * gridSize + j]); };
    // Antipodes stand on opposite sides of 1, so they differ unless both are near it.
    ASSERT_GT(std::abs(height(128, 128) - height(128, 384)), 0.02f) << "this seed cannot tell";
    int matches = 0;
    for (int k = 0; k < 49; ++k) {
        const int i = 116 + k / 7 * 4, j = 116 + k % 7 * 4;
        const glm::vec3 point = globe.positions[i * gridSize + j];
        // The eye at z = 3 sees 45 degrees of 16:9; 1 / tan(22.5 degrees) is 1 + sqrt(2).
        const float scale = (1.0f + std::sqrt(2.0f)) / (3.0f - point.z);
        const int x = 640 * (1 + point.x * scale * 9 / 16), y = 360 * (1 + point.y * scale);
        // A texel or two off for sampling and the blend across the pixel's triangles.
        const float expected = (std::clamp(height(i, j), 0.96f, 1.04f) - 0.96f) / 0.08f * 256;
        matches += std::abs(sf::Color(picture[y * 1280 + x]).r - expected) <= 8;
    }
    EXPECT_GE(matches, 44) << "of 49 grid points";
}

// The loader's flags are false both for a driver older than 2.0 and for a newer one whose
// 2.0 entry points did not all load; only the first may be called too old.
TEST(DriverRefusal, CallsOnlyAnOlderDriverTooOld) {
    EXPECT_EQ(describeRefusedDriver("unknown", "unknown"),
              "The OpenGL driver offers version unknown (unknown); the viewer needs OpenGL 2.0.");
    for (const char* version : {"2.0 Mesa 22.3.6", "2.1", "4.5 (Compatibility Profile)"}) {
        EXPECT_EQ(describeRefusedDriver(version, "llvmpipe"),
                  "The OpenGL driver reports version " + std::string(version) +
                      " (llvmpipe), but not every OpenGL 2.0 function the viewer needs could be "
                      "loaded.");
    }
}
