#include <SFML/Audio/Music.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Window.hpp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <future>
#include <glm/vec3.hpp>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/assets.h"
#include "app/audio.h"
#include "app/drawing_target.h"
#include "app/guest_drawing.h"
#include "app/idle_inhibit.h"
#include "app/standard_streams.h"
#include "app/startup.h"
#include "app/termination.h"
#include "app/window.h"
#include "render/render.h"
#include "view/camera.h"

namespace {

// Everything from the window on, on the viewer's connection; returns the exit status. The
// window library has let go of the window when this returns.
int showGlobe(ViewerDisplay& display) {
    // The window closes last, so it is declared first, but it opens only once the globe
    // is on its way: nothing needs the globe before the upload. On any return the future
    // goes first and waits for the worker, before the lists it fills are freed.
    std::optional<sf::Window> windowSlot;
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    std::future<void> globeBuilt = startBuildingGlobe(indices, positions);
    if (!openViewer(windowSlot, display)) return 1;
    sf::Window& window = *windowSlot;
    // Nobody types at the viewer while watching it; the screen must not blank meanwhile.
    // Every return from here on must pass releaseIdle(), which ends its worker thread.
    IdleInhibition idleInhibition =
        inhibitIdle(static_cast<std::uint32_t>(window.getSystemHandle()));

    sf::Texture texture;
    Scene scene = setUpScene(texture);
    globeBuilt.get();
    scene.mesh = uploadGlobe(indices, positions, vertexArraysAvailable());

    // The music plays from the bytes the check reads, so they are declared before it; it
    // starts a little after the first frame, which does not wait for its check.
    MusicStart musicStart;
    std::optional<sf::Music> music;
    if (audioOutputAvailable()) {
        musicStart = readMusic();
    } else {
        std::cerr << "No audio output could be opened; playing without music." << std::endl;
    }

    Camera camera;

    while (window.isOpen()) {
        sf::Event event;
        while (window.pollEvent(event)) {
            if (event.type == sf::Event::Closed) {
                window.close();
            } else if (event.type == sf::Event::Resized) {
                fitViewport(event.size.width, event.size.height);
            } else {
                handleCameraEvent(camera, event);
            }
        }
        // The window manager's close request and the window's destruction by another program
        // come to the viewer's own connection; they, a terminating signal and a failed X
        // request end the run as the Closed event does.
        if (viewerCloseRequested(display) || terminationRequested() || displayFailed())
            window.close();
        // Nothing is drawn once the window has been asked to close.
        if (!window.isOpen()) break;
        drawFrame(window, scene, texture, camera);
        advanceMusicStart(musicStart, music);
    }
    releaseIdle(idleInhibition);
    abandonMusicStart(musicStart);

    // Scope ends in reverse order of declaration: the music stops first, then its bytes go,
    // then the texture, the index and position lists, and last the window with its context.
    return displayFailed() ? 1 : 0;
}

// Where to draw, from --root and --window-id ID; every other argument is ignored, as before.
// Nothing after one line on standard error for an id that is none.
std::optional<DrawingTarget> readTarget(int argc, char** argv) {
    bool root = false;
    std::optional<unsigned long> windowId;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--root") {
            root = true;
        } else if (argument == "--window-id") {
            const std::string text = i + 1 < argc ? argv[++i] : "";
            windowId = parseWindowId(text);
            if (!windowId) {
                std::cerr << "--window-id needs a window id (decimal or 0x hexadecimal), not \""
                          << text << "\"." << std::endl;
                return std::nullopt;
            }
        }
    }
    return chooseTarget(root, windowId, std::getenv("XSCREENSAVER_WINDOW"));
}

}  // namespace

int main(int argumentCount, char** arguments) {
    // The viewer's own child that proves the music decodes, started as no user starts it.
    if (arguments[0] != nullptr && std::strcmp(arguments[0], musicCheckName) == 0)
        return runMusicCheck();
    openClosedStandardStreams();
    installTerminationHandlers();
    const std::optional<DrawingTarget> target = readTarget(argumentCount, arguments);
    if (!target) return 1;
    if (!checkProcessor()) return 1;
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    std::optional<ViewerDisplay> display = checkDisplay();
    if (!display) return 1;
    const int status = target->kind == TargetKind::ownWindow ? showGlobe(*display)
                                                             : drawIntoTarget(*display, *target);
    // The window goes with the connection that made it, after the window library's context.
    closeDisplay(*display);
    return status;
}
