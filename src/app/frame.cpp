#include "app/frame.h"

#include "app/assets.h"

Scene setUpScene(sf::Texture& texture) {
    // The program is made current once and never replaced, whether or not it linked.
    const GLuint program = createProgram(vertexShaderSource, fragmentShaderSource);
    glUseProgram(program);
    Scene scene;
    scene.mvpLocation = glGetUniformLocation(program, "mvp");
    scene.projection = buildProjection();
    loadTerrainTexture(texture);
    pointSamplerAtRampUnit(program);
    return scene;
}

void drawGlobeFrame(const Scene& scene, const sf::Texture& texture, Camera& camera) {
    stepCamera(camera);
    uploadMvp(scene.mvpLocation, buildMvp(camera, scene.projection));
    drawGlobe(scene.mesh, texture);
}

void drawFrame(sf::Window& window, const Scene& scene, const sf::Texture& texture, Camera& camera) {
    drawGlobeFrame(scene, texture, camera);
    window.display();
}
