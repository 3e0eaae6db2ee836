#include "app/startup.h"

#include "globe/globe.h"

bool loadOpenGl() {
    if (glewInit() != GLEW_OK) return false;
    glEnable(GL_DEPTH_TEST);
    return true;
}

void buildGlobe(std::vector<std::uint32_t>& indices, std::vector<glm::vec3>& positions) {
    generateSphere(indices, positions);
    applyFaults(positions);
}

Scene setUpScene(const std::vector<std::uint32_t>& indices, const std::vector<glm::vec3>& positions,
                 sf::Texture& texture) {
    // The program is made current once and never replaced, whether or not it linked.
    const GLuint program = createProgram(vertexShaderSource, fragmentShaderSource);
    glUseProgram(program);
    Scene scene;
    scene.mvpLocation = glGetUniformLocation(program, "mvp");
    scene.projection = buildProjection();
    scene.mesh = uploadGlobe(indices, positions, vertexArraysAvailable());
    loadTerrainTexture(texture, program);
    return scene;
}

void drawFrame(sf::Window& window, const Scene& scene, const sf::Texture& texture, Camera& camera) {
    stepCamera(camera);
    uploadMvp(scene.mvpLocation, buildMvp(camera, scene.projection));
    drawGlobe(scene.mesh, texture);
    window.display();
}
