#include <SFML/Audio/Music.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window.hpp>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <optional>
#include <vector>

#include "app/audio.h"
#include "app/startup.h"
#include "app/window.h"

int main() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    sf::Window window;
    openViewerWindow(window);

    if (!loadOpenGl()) {
        std::cerr << "Failed ot init GLEW." << std::endl;
        window.close();
        return 1;
    }

    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    buildGlobe(indices, positions);

    sf::Texture texture;
    const Scene scene = setUpScene(indices, positions, texture);

    std::optional<sf::Music> music;
    if (audioOutputAvailable()) {
        music.emplace();
        (void)music->openFromFile("mellowsad beat.ogg");
        music->setLoop(true);
        music->play();
    } else {
        std::cerr << "No audio output could be opened; playing without music." << std::endl;
    }

    Camera camera;

    while (window.isOpen()) {
        sf::Event event;
        while (window.pollEvent(event)) {
            if (event.type == sf::Event::Closed) {
                window.close();
            } else {
                handleCameraEvent(camera, event);
            }
        }
        // Nothing is drawn once the window has been asked to close.
        if (!window.isOpen()) break;
        drawFrame(window, scene, texture, camera);
    }

    // Scope ends in reverse order of declaration: the music stops first, then the
    // texture, the index and position lists, and last the window with its context.
    return 0;
}
