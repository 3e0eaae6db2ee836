#pragma once

#include <GL/glew.h>

#include <SFML/Graphics/Texture.hpp>
#include <cstdint>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <string>
#include <vector>

// --- shader_sources.cpp ---

// The two stages of the globe's shading: the vertex stage places a point with `mvp`
// and hands on its distance from the centre as `height`; the fragment stage maps
// that height onto the first row of the colour ramp.
extern const std::string vertexShaderSource;
extern const std::string fragmentShaderSource;

// The attribute slot the globe's positions are uploaded to and the vertex stage reads.
inline constexpr GLuint positionLocation = 0;

// --- create_program.cpp ---

// Builds, links and returns the program; a failed link writes its log to standard
// error and the program is returned all the same. The two shaders are deleted.
GLuint createProgram(std::string vertexSource, std::string fragmentSource);

// --- upload_globe.cpp ---

// The globe's GPU copies. Without vertex array objects `vertexArray` stays 0 and the
// draw binds the buffers and the attribute itself.
struct GlobeMesh {
    GLuint vertexArray = 0;
    GLuint vertexBuffer = 0;
    GLuint indexBuffer = 0;
    GLsizei indexCount = 0;
};

// Attribute 0 reads three tightly packed floats per vertex from the start of the vertex
// buffer. The upload records this in the vertex array; without one the draw repeats it.
void pointPositionsAtVertexBuffer(GLuint vertexBuffer);

// True when the driver offers vertex array objects (OpenGL 3.0 or the extension).
bool vertexArraysAvailable();

// Uploads both lists once, with static usage.
GlobeMesh uploadGlobe(const std::vector<std::uint32_t>& indices,
                      const std::vector<glm::vec3>& positions, bool useVertexArrays);

// --- fit_viewport.cpp ---

// Draws from now on into the largest area of the projection's 16:9 centred in a window
// of that size, so the globe stays round and centred: the whole of a 1280 x 720 window,
// with black bars around it in any other.
void fitViewport(unsigned windowWidth, unsigned windowHeight);

// --- read_viewport_pixels.cpp ---

// The picture in the current viewport of the buffer being drawn, without the bars around it:
// three bytes a pixel (red, green, blue), rows from the bottom up as OpenGL counts them.
// A multisampled buffer is read resolved.
struct ViewportPixels {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};
ViewportPixels readViewportPixels();

// --- upload_mvp.cpp ---

// Writes the matrix into the current program's `mvp` uniform.
void uploadMvp(GLint mvpLocation, const glm::mat4& mvp);

// --- draw_globe.cpp ---

// Points the program's ramp sampler at the texture unit drawGlobe binds the ramp to.
void pointSamplerAtRampUnit(GLuint program);

// Clears colour and depth and draws the whole globe with the ramp texture.
void drawGlobe(const GlobeMesh& mesh, const sf::Texture& texture);
