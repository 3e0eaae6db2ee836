#include "app/guest_drawing.h"

#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Window.hpp>
#include <optional>

#include "app/frame.h"
#include "app/guest_window.h"
#include "app/startup.h"
#include "app/termination.h"
#include "render/render.h"
#include "view/camera.h"

int drawIntoTarget(ViewerDisplay& display, const DrawingTarget& target) {
    endAtOnceOnTermination();
    // As in the viewer's own window: the globe is on its way before the window opens, and a
    // start that fails stops its worker.
    sf::Window window = makeWindowObject();
    GlobeBuild globeBuild = startBuildingGlobe();
    std::optional<GuestWindow> guest = openGuestWindow(display, target);
    if (!guest || displayFailed() || !useViewerWindow(window, display.window, false)) {
        abandonGlobe(globeBuild);
        return 1;
    }

    sf::Texture texture;
    Scene scene = setUpScene(texture);
    const Globe& globe = globeBuild.globe.get();
    scene.mesh = uploadGlobe(globe.indices, globe.positions, vertexArraysAvailable());

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
