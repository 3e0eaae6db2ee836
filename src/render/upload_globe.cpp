#include "render/render.h"

namespace {

constexpr GLint floatsPerPosition = 3;

}  // namespace

void pointPositionsAtVertexBuffer(GLuint vertexBuffer) {
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glEnableVertexAttribArray(positionLocation);
    glVertexAttribPointer(positionLocation, floatsPerPosition, GL_FLOAT, GL_FALSE, 0, nullptr);
}

bool vertexArraysAvailable() {
    return (GLEW_VERSION_3_0 || GLEW_ARB_vertex_array_object) && glGenVertexArrays != nullptr &&
           glBindVertexArray != nullptr;
}

GlobeMesh uploadGlobe(const std::vector<std::uint32_t>& indices,
                      const std::vector<glm::vec3>& positions, bool useVertexArrays) {
    static_assert(sizeof(glm::vec3) == 3 * sizeof(float), "positions upload byte for byte");
    GlobeMesh mesh;
    if (useVertexArrays) {
        // The vertex array records the attribute set-up and the index buffer binding.
        glGenVertexArrays(1, &mesh.vertexArray);
        glBindVertexArray(mesh.vertexArray);
    }

    glGenBuffers(1, &mesh.vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, mesh.vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positions.size() * sizeof(glm::vec3)),
                 positions.data(), GL_STATIC_DRAW);
    pointPositionsAtVertexBuffer(mesh.vertexBuffer);

    const auto indexBytes = static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t));
    glGenBuffers(1, &mesh.indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, indexBytes, indices.data(), GL_STATIC_DRAW);
    mesh.indexCount = static_cast<GLsizei>(indexBytes / sizeof(std::uint32_t));
    return mesh;
}
