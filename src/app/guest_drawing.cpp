#include "app/guest_drawing.h"

#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Window.hpp>
#include <cstdint>
#include <future>
#include <glm/vec3.hpp>
#include <optional>
#include <vector>

#include "app/frame.h"
#include "app/guest_window.h"
#include "app/startup.h"
#include "app/termination.h"
#include "render/render.h"
#include "view/camera.h"

int drawIntoTarget(ViewerDisplay& display, const DrawingTarget& target) {
    // As in the viewer's own window: the window closes last, and on any return the future
    // goes first and waits for the worker, before the lists it fills are freed.
    std::optional<sf::Window> windowSlot;
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    std::future<void> globeBuilt = startBuildingGlobe(indices, positions);
    std::optional<GuestWindow> guest = openGuestWindow(display, target);
    if (!guest || displayFailed()) return 1;
    if (!useViewerWindow(windowSlot, display.window, false)) return 1;
    sf::Window& window = *windowSlot;

    sf::Texture texture;
    Scene scene = setUpScene(texture);
    globeBuilt.get();
    scene.mesh = uploadGlobe(indices, positions, vertexArraysAvailable());

    Camera camera = turningCamera();
    while (!terminationRequested() && !displayFailed()) {
        // The window library's events are read only so that they do not pile up: keys,
        // clicks and closing belong to the target's owner.
        sf::Event event;
        while (window.pollEvent(event)) {
        }
        const TargetChange change = followTarget(display, *guest);
        if (change == TargetChange::destroyed) break;
        if (change == TargetChange::resized) fitViewport(guest->width, guest->height);
        drawFrame(window, scene, texture, camera);
    }
    return displayFailed() ? 1 : 0;
}
