#include <SFML/Audio/Music.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Window.hpp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/assets.h"
#include "app/audio.h"
#include "app/command_line.h"
#include "app/drawing_target.h"
#include "app/frame.h"
#include "app/guest_drawing.h"
#include "app/idle_inhibit.h"
#include "app/picture.h"
#include "app/standard_streams.h"
#include "app/startup.h"
#include "app/termination.h"
#include "app/window.h"
#include "render/render.h"
#include "view/camera.h"

namespace {

// Everything from the window on, on the viewer's connection; returns the exit status. The
// window library has let go of the window when this returns. The seed names saved views.
int showGlobe(ViewerDisplay& display, const Options& options, std::uint32_t seed) {
    // The window comes first and goes last, with its context; it opens once the globe is on its
    // way, as nothing needs the globe before the upload.
    sf::Window window = makeWindowObject();
    GlobeBuild globeBuild = startBuildingGlobe();
    if (!openViewer(window, display, options.window)) {
        abandonGlobe(globeBuild);
        return 1;
    }
    // Nobody types at the viewer while watching it; the screen must not blank meanwhile.
    // Every return from here on must pass releaseIdle(), which ends its worker thread.
    IdleInhibition idleInhibition =
        inhibitIdle(display.display, static_cast<std::uint32_t>(window.getSystemHandle()));

    // The scene is set up while the worker ends.
    sf::Texture texture;
    Scene scene = setUpScene(texture);
    const Globe& globe = globeBuild.globe.get();
    scene.mesh = uploadGlobe(globe.indices, globe.positions, vertexArraysAvailable());

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
    SaveKeyState saveKeyState;
    bool saveRequested = false;

    while (window.isOpen()) {
        sf::Event event;
        while (window.pollEvent(event)) {
            if (event.type == sf::Event::Closed) {
                window.close();
            } else if (event.type == sf::Event::Resized) {
                fitViewport(event.size.width, event.size.height);
            } else {
                if (saveKeyPressed(saveKeyState, event)) saveRequested = true;
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
        drawGlobeFrame(scene, texture, camera);
        // The picture is read back before the frame is shown, while it is still whole in the
        // buffer it was drawn into.
        if (saveRequested) saveView(seed);
        saveRequested = false;
        window.display();
        advanceMusicStart(musicStart, music);
    }
    // The music stops first, and a check of it still running ends; then the screen may blank
    // again. The scope's end takes the music's bytes, the texture, the globe's lists with the
    // build, and last the window with its context.
    music.reset();
    abandonMusicStart(musicStart);
    releaseIdle(idleInhibition);
    return displayFailed() ? 1 : 0;
}

int runViewer(const Options& options) {
    const std::optional<DrawingTarget> target =
        chooseTarget(options.root, options.windowId, std::getenv("XSCREENSAVER_WINDOW"));
    if (!target) return 1;
    if (!checkProcessor()) return 1;
    // The clock's second, cut to the generator's 32 bits, unless a seed is given.
    const std::uint32_t seed =
        options.seed.value_or(static_cast<std::uint32_t>(std::time(nullptr)));
    std::srand(seed);

    std::optional<ViewerDisplay> display = checkDisplay();
    if (!display) return 1;
    // Someone else's window, as a screensaver, or the viewer's own.
    const int status = target->kind == TargetKind::ownWindow ? showGlobe(*display, options, seed)
                                                             : drawIntoTarget(*display, *target);
    // The window goes with the connection that made it, after the window library's context.
    closeDisplay(*display);
    return status;
}

}  // namespace

int main(int argc, char** arguments) {
    // The viewer's own child that proves the music decodes, started as no user starts it.
    if (arguments[0] != nullptr && std::strcmp(arguments[0], musicCheckName) == 0)
        return runMusicCheck();
    openClosedStandardStreams();
    const ParsedCommandLine commandLine =
        parseCommandLine(argc > 0 ? std::vector<std::string>(arguments + 1, arguments + argc)
                                  : std::vector<std::string>());
    if (!commandLine.error.empty()) {
        std::cerr << commandLine.error << std::endl;
        return usageErrorStatus;
    }
    const Options& options = commandLine.options;
    if (options.help || options.version) {
        std::cout << (options.help ? helpText() : versionText()) << std::flush;
        return 0;
    }
    installTerminationHandlers();
    const int status = runViewer(options);
    // Killed rather than closed: whoever started the viewer is told so.
    endAsTerminated();
    return status;
}
