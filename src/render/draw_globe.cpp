#include "render/render.h"

namespace {

// Binding a texture puts it on the active unit, which nothing changes from the first, so
// the sampler reads that one.
constexpr GLint rampTextureUnit = 0;

}  // namespace

void pointSamplerAtRampUnit(GLuint program) {
    glUniform1i(glGetUniformLocation(program, "terrainTexture"), rampTextureUnit);
}

void drawGlobe(const GlobeMesh& mesh, const sf::Texture& texture) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (mesh.vertexArray != 0) {
        glBindVertexArray(mesh.vertexArray);
    } else {
        pointPositionsAtVertexBuffer(mesh.vertexBuffer);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.indexBuffer);
    }
    sf::Texture::bind(&texture, sf::Texture::Normalized);
    glDrawElements(GL_TRIANGLES, mesh.indexCount, GL_UNSIGNED_INT, nullptr);
}
