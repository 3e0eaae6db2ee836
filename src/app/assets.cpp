#include "app/assets.h"

#include <sys/stat.h>

#include <SFML/Graphics/Rect.hpp>
#include <iostream>

namespace {

constexpr const char* terrainFile = "terrain.png";
constexpr const char* musicFile = "mellowsad beat.ogg";

// False, after one line naming it, for anything but a regular file. stat follows links and
// asks the file itself, whatever the directory entry says. A name it cannot look up is left
// to the loader, which then says why in its own words.
bool mayOpenAsset(const char* path) {
    struct stat status {};
    if (stat(path, &status) != 0 || S_ISREG(status.st_mode)) return true;
    std::cerr << "Skipping \"" << path << "\": not a regular file." << std::endl;
    return false;
}

}  // namespace

void loadTerrainTexture(sf::Texture& texture) {
    if (mayOpenAsset(terrainFile)) (void)texture.loadFromFile(terrainFile, sf::IntRect());
}

void playMusicOnLoop(sf::Music& music) {
    if (!mayOpenAsset(musicFile)) return;
    (void)music.openFromFile(musicFile);
    music.setLoop(true);
    music.play();
}
