#include "app/startup.h"

#include <cstdlib>
#include <iostream>
#include <system_error>

#include "app/window.h"
#include "globe/globe.h"

namespace {

// A broken context answers with null, and the line that says why must still come out.
const char* openGlString(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "unknown";
}

}  // namespace

std::string describeRefusedDriver(const char* version, const char* renderer) {
    const std::string driver = std::string(version) + " (" + renderer + ")";
    if (std::strtol(version, nullptr, 10) >= 2) {
        return "The OpenGL driver reports version " + driver +
               ", but not every OpenGL 2.0 function the viewer needs could be loaded.";
    }
    return "The OpenGL driver offers version " + driver + "; the viewer needs OpenGL 2.0.";
}

bool checkProcessor() {
    if (globeArithmeticAvailable()) return true;
    std::cerr << "This processor has no SSE2, which the globe needs on 32-bit x86." << std::endl;
    return false;
}

bool loadOpenGl() {
    if (glewInit() != GLEW_OK) {
        std::cerr << "Failed ot init GLEW." << std::endl;
        return false;
    }
    // The loader succeeds on any version, but leaves the entry points of a version the
    // driver does not offer null, and the first shader call would jump through one. The
    // flags are false as well when one of those entry points failed to load.
    if (!GLEW_VERSION_1_5 || !GLEW_VERSION_2_0) {
        std::cerr << describeRefusedDriver(openGlString(GL_VERSION), openGlString(GL_RENDERER))
                  << std::endl;
        return false;
    }
    glEnable(GL_DEPTH_TEST);
    return true;
}

bool openViewer(sf::Window& window, unsigned bitsPerPixel) {
    openViewerWindow(window, bitsPerPixel);
    if (!loadOpenGl()) return false;
    fitViewport(window.getSize().x, window.getSize().y);
    return true;
}

void buildGlobe(std::vector<std::uint32_t>& indices, std::vector<glm::vec3>& positions) {
    generateSphere(indices, positions);
    applyFaults(positions);
}

std::future<void> startBuildingGlobe(std::vector<std::uint32_t>& indices,
                                     std::vector<glm::vec3>& positions) {
    const auto build = [&indices, &positions, directions = randomDirections()] {
        generateSphere(indices, positions);
        applyCuts(positions, directions);
    };
    try {
        return std::async(std::launch::async, build);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, build);
    }
}

Scene setUpScene(sf::Texture& texture) {
    // The program is made current once and never replaced, whether or not it linked.
    const GLuint program = createProgram(vertexShaderSource, fragmentShaderSource);
    glUseProgram(program);
    Scene scene;
    scene.mvpLocation = glGetUniformLocation(program, "mvp");
    scene.projection = buildProjection();
    loadTerrainTexture(texture, program);
    return scene;
}

void drawFrame(sf::Window& window, const Scene& scene, const sf::Texture& texture, Camera& camera) {
    stepCamera(camera);
    uploadMvp(scene.mvpLocation, buildMvp(camera, scene.projection));
    drawGlobe(scene.mesh, texture);
    window.display();
}
