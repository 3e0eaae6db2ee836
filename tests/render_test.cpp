#include "render/render.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <SFML/Window/Window.hpp>
#include <cstdlib>
#include <set>

#include "globe/globe.h"
#include "view/camera.h"

namespace {

// The viewer's 16:9 shape at a quarter of its size.
constexpr unsigned width = 320, height = 180;

// A window with the viewer's depth buffer and requested version but no antialiasing,
// so that every pixel is wholly covered or not and colours read back exactly.
struct Gl : testing::Test {
    sf::Window window{sf::VideoMode(width, height), "gl test", sf::Style::None,
                      sf::ContextSettings(24, 0, 0, 2, 0)};
    void SetUp() override {
        ASSERT_TRUE(window.setActive(true) && glewInit() == GLEW_OK);
    }
};

// The back buffer, bottom row first, each pixel packed as sf::Color::toInteger packs it.
std::vector<sf::Uint32> pixels() {
    std::vector<sf::Uint32> read(width * height);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8, read.data());
    return read;
}

// Texel t is (t, 0 or 255, 128): red names the texel, and green flips between
// neighbours, so any blending of two texels shows at once.
sf::Image ramp() {
    sf::Image image;
    image.create(256, 1);
    for (unsigned t = 0; t < 256; ++t) image.setPixel(t, 0, sf::Color(t, t % 2 * 255, 128));
    return image;
}

}  // namespace

// Standard error is captured at file descriptor 2, so the driver's own output counts.
TEST_F(Gl, ShaderTextsBuildSilentlyLogABrokenVertexTextAndPickRampTexelsLinearly) {
    testing::internal::CaptureStderr();
    const GLuint program = createProgram(vertexShaderSource, fragmentShaderSource);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    std::string broken = vertexShaderSource;
    broken.insert(broken.find("gl_Position"), "undeclaredName = 1.0;");
    testing::internal::CaptureStderr();
    const GLuint brokenProgram = createProgram(broken, fragmentShaderSource);
    const std::string written = testing::internal::GetCapturedStderr();
    ASSERT_NE(brokenProgram, 0u);
    // The same text compiled on its own gives the log the driver wrote for it.
    const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    const GLchar* text = broken.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    char vertexLog[4096] = "", linkLog[4096] = "";
    glGetShaderInfoLog(shader, sizeof vertexLog, nullptr, vertexLog);
    glGetProgramInfoLog(brokenProgram, sizeof linkLog, nullptr, linkLog);
    ASSERT_TRUE(*vertexLog && *linkLog);
    EXPECT_EQ(written, std::string(vertexLog) + "\n" + linkLog + "\n");

    // One point per height along the bottom row: the matrix has no linear part, so only
    // its translation places the point. Between the band ends, heights a quarter texel
    // either side of a texel's centre give that texel with linear nearest sampling;
    // smoothing would mix in the neighbour's green.
    glUseProgram(program);
    const sf::Image image = ramp();
    sf::Texture texture;
    ASSERT_TRUE(texture.loadFromImage(image));
    sf::Texture::bind(&texture, sf::Texture::Normalized);
    std::vector<std::pair<float, unsigned>> cases = {
        {0.0f, 0}, {0.96f, 0}, {1.04f, 255}, {2.0f, 255}, {1.0f, 128}};
    for (unsigned half = 0; half < 512; half += 3)  // half-texel steps, a third of them
        cases.push_back({float(0.96 + 0.08 * (half + 0.5) / 512), half / 2});
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 1, GL_FLOAT, GL_FALSE, sizeof cases[0], &cases[0].first);
    for (unsigned i = 0; i < cases.size(); ++i) {
        glm::mat4 toPixel(0.0f);
        toPixel[3] = {(i + 0.5f) * 2 / width - 1, 1.0f / height - 1, 0, 1};
        uploadMvp(glGetUniformLocation(program, "mvp"), toPixel);
        glDrawArrays(GL_POINTS, static_cast<GLint>(i), 1);
    }
    const std::vector<sf::Uint32> picture = pixels();
    for (unsigned i = 0; i < cases.size(); ++i)
        EXPECT_EQ(picture[i], image.getPixel(cases[i].second, 0).toInteger()) << cases[i].first;
}

// Both paths draw from cleared bindings, as each frame has to set up what it reads.
TEST_F(Gl, UploadHoldsTheGlobeAndBothPathsDrawItAlikeAndBlackWithoutTheRamp) {
    std::vector<std::uint32_t> indices;
    std::vector<glm::vec3> positions;
    generateSphere(indices, positions);
    applyFaults(positions);
    ASSERT_TRUE(vertexArraysAvailable());
    char directory[] = "/tmp/quillmere-render-XXXXXX";
    ASSERT_EQ(chdir(mkdtemp(directory)), 0);

    glClearColor(0.25f, 0.25f, 0.25f, 1.0f);  // a colour the globe never takes
    const GLuint program = createProgram(vertexShaderSource, fragmentShaderSource);
    glUseProgram(program);
    Camera camera;
    uploadMvp(glGetUniformLocation(program, "mvp"), buildMvp(camera, buildProjection()));
    sf::Texture texture;
    const auto draw = [&](const GlobeMesh& mesh) {
        glBindVertexArray(0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glDisableVertexAttribArray(0);
        drawGlobe(mesh, texture);
        const std::vector<sf::Uint32> picture = pixels();
        return std::make_pair(picture, std::set<sf::Uint32>(picture.begin(), picture.end()));
    };

    const GlobeMesh plain = uploadGlobe(indices, positions, false);  // leaves both bound
    GLint vertexBytes = 0, indexBytes = 0;
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &vertexBytes);
    glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_SIZE, &indexBytes);
    EXPECT_EQ((std::vector{vertexBytes, indexBytes, plain.indexCount}),
              (std::vector{3'145'728, 6'291'456, 1'572'864}));
    loadTerrainTexture(texture, program);  // no terrain.png yet
    EXPECT_EQ(draw(plain).second,
              (std::set{sf::Color(64, 64, 64).toInteger(), sf::Color::Black.toInteger()}));

    EXPECT_TRUE(ramp().saveToFile("terrain.png"));
    loadTerrainTexture(texture, program);
    const auto withoutArray = draw(plain);
    // Relief spreads the globe over many texels; a blank frame would match too.
    EXPECT_GT(withoutArray.second.size(), 20u);
    EXPECT_TRUE(withoutArray.first == draw(uploadGlobe(indices, positions, true)).first);
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
    unlink("terrain.png");
    rmdir(directory);
}
