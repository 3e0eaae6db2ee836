#include <GL/glew.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <SFML/Graphics/Texture.hpp>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "gl_context.h"
#include "render.h"
#include "test_ramp.h"

namespace {

constexpr unsigned windowSize = 64;

// Everything written to file descriptor 2 while the action runs, the driver's own
// output included.
std::string captureStandardError(const std::function<void()>& action) {
    std::cerr.flush();
    std::fflush(stderr);
    std::FILE* capture = std::tmpfile();
    const int savedStandardError = dup(STDERR_FILENO);
    dup2(fileno(capture), STDERR_FILENO);
    action();
    std::cerr.flush();
    std::fflush(stderr);
    dup2(savedStandardError, STDERR_FILENO);
    close(savedStandardError);

    std::string written;
    std::rewind(capture);
    for (int c = std::fgetc(capture); c != EOF; c = std::fgetc(capture)) written += char(c);
    std::fclose(capture);
    return written;
}

// The log of a shader or a program, up to its terminating zero.
std::string infoLog(GLuint object, PFNGLGETSHADERIVPROC getParameter,
                    PFNGLGETSHADERINFOLOGPROC getLog) {
    GLint length = 0;
    getParameter(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(length), '\0');
    if (length > 0) getLog(object, length, nullptr, log.data());
    return log.c_str();
}

GLint programParameter(GLuint program, GLenum parameter) {
    GLint value = 0;
    glGetProgramiv(program, parameter, &value);
    return value;
}

// The fragment colour for a vertex at `height`, one point per height. The matrix has no
// linear part, so each point lands on its own pixel whatever its position, and a lone
// point carries its vertex's height to the fragment stage unchanged by interpolation.
std::vector<std::uint32_t> colourAtHeights(const std::vector<float>& heights) {
    sf::Texture ramp;
    EXPECT_TRUE(ramp.loadFromImage(testRampImage()));
    const GLuint program = createProgram(vertexShaderSource, fragmentShaderSource);
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "terrainTexture"), 0);
    sf::Texture::bind(&ramp, sf::Texture::Normalized);

    std::vector<float> positions;
    for (const float height : heights) positions.insert(positions.end(), {height, 0.0f, 0.0f});
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positions.size() * sizeof(float)),
                 positions.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);

    glClear(GL_COLOR_BUFFER_BIT);
    const GLint mvpLocation = glGetUniformLocation(program, "mvp");
    for (unsigned point = 0; point < heights.size(); ++point) {
        GLfloat toPixel[16] = {};
        toPixel[12] = (point % windowSize + 0.5f) * 2.0f / windowSize - 1.0f;
        toPixel[13] = (point / windowSize + 0.5f) * 2.0f / windowSize - 1.0f;
        toPixel[15] = 1.0f;
        glUniformMatrix4fv(mvpLocation, 1, GL_FALSE, toPixel);
        glDrawArrays(GL_POINTS, static_cast<GLint>(point), 1);
    }
    const std::vector<std::uint8_t> pixels = readPixels(windowSize, windowSize);
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
    glDeleteBuffers(1, &buffer);

    std::vector<std::uint32_t> colours;
    for (unsigned point = 0; point < heights.size(); ++point) {
        colours.push_back(pixelAt(pixels, windowSize, point % windowSize, point / windowSize));
    }
    return colours;
}

}  // namespace

TEST(ShaderProgram, BothTextsBuildSilently) {
    sf::Window window;
    ASSERT_TRUE(openTestWindow(window, windowSize, windowSize));

    GLuint program = 0;
    EXPECT_EQ(captureStandardError(
                  [&] { program = createProgram(vertexShaderSource, fragmentShaderSource); }),
              "");
    ASSERT_NE(program, 0u);
    EXPECT_EQ(programParameter(program, GL_LINK_STATUS), GL_TRUE);
    EXPECT_EQ(programParameter(program, GL_ATTACHED_SHADERS), 0);
    EXPECT_EQ(glGetAttribLocation(program, "position"), 0);
    EXPECT_NE(glGetUniformLocation(program, "mvp"), -1);
    EXPECT_NE(glGetUniformLocation(program, "terrainTexture"), -1);
}

TEST(ShaderProgram, BrokenVertexTextLogsVertexStageThenLinkAndStillGivesAProgram) {
    sf::Window window;
    ASSERT_TRUE(openTestWindow(window, windowSize, windowSize));
    std::string broken = vertexShaderSource;
    broken.insert(broken.find("gl_Position"), "undeclaredName = 1.0;");

    GLuint program = 0;
    const std::string written =
        captureStandardError([&] { program = createProgram(broken, fragmentShaderSource); });
    ASSERT_NE(program, 0u);
    EXPECT_EQ(programParameter(program, GL_LINK_STATUS), GL_FALSE);

    // The same text compiled on its own gives the log the driver wrote for it.
    const GLuint vertexShader = glCreateShader(GL_VERTEX_SHADER);
    const GLchar* text = broken.c_str();
    glShaderSource(vertexShader, 1, &text, nullptr);
    glCompileShader(vertexShader);
    const std::string vertexLog = infoLog(vertexShader, glGetShaderiv, glGetShaderInfoLog);
    glDeleteShader(vertexShader);
    const std::string linkLog = infoLog(program, glGetProgramiv, glGetProgramInfoLog);

    EXPECT_NE(vertexLog, "");
    EXPECT_NE(linkLog, "");
    EXPECT_EQ(written, vertexLog + "\n" + linkLog + "\n");
}

// Between the band ends, heights a quarter of a texel either side of each texel's
// centre: a linear mapping with nearest sampling gives that texel for both, while
// smoothing would mix in the neighbour's green.
TEST(ShaderProgram, HeightPicksTheRampTexelLinearlyAcrossTheBandAndItsEndsBeyond) {
    sf::Window window;
    ASSERT_TRUE(openTestWindow(window, windowSize, windowSize));
    const unsigned leftEnd = 0, rightEnd = testRampWidth - 1;
    std::vector<float> heights = {0.0f, 0.9f, 0.95999f, 0.96f, 1.04f, 1.0401f, 2.0f, 1.0f};
    std::vector<std::uint32_t> expected;
    for (const unsigned texel :
         {leftEnd, leftEnd, leftEnd, leftEnd, rightEnd, rightEnd, rightEnd, testRampWidth / 2}) {
        expected.push_back(testRampColour(texel));
    }
    constexpr double low = 0.96, band = 0.08;
    for (unsigned texel = 0; texel < testRampWidth; ++texel) {
        for (const double offset : {0.25, 0.75}) {
            heights.push_back(float(low + band * (texel + offset) / testRampWidth));
            expected.push_back(testRampColour(texel));
        }
    }
    EXPECT_EQ(colourAtHeights(heights), expected);
}
