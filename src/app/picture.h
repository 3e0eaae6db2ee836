#pragma once

#include <SFML/Window/Event.hpp>
#include <cstdint>
#include <optional>
#include <string>

#include "render/render.h"

// Saving the view as a PNG in the user's pictures folder, named after the globe's seed.
// The file is written whole under a temporary name in that folder and only then given its
// own, which is never one already taken: a picture is there complete or not at all, and
// no earlier picture is ever replaced.

// "quillmere-SEED.png" for the first copy, then "quillmere-SEED-2.png", "-3" and so on.
std::string pictureFileName(std::uint32_t seed, unsigned copy);

// The pictures folder a user-dirs.dirs text names in XDG_PICTURES_DIR, "$HOME" at its
// start standing for `home`; the last such line counts. Nothing when no line sets it to
// a path under $HOME or from the root.
std::optional<std::string> picturesFolderFromUserDirs(const std::string& userDirs,
                                                      const std::string& home);

// The folder of user-dirs.dirs where it names one, else `home`/Pictures if that is a folder,
// else `home` itself.
std::string choosePicturesFolder(const std::string& home,
                                 const std::optional<std::string>& fromUserDirs,
                                 bool homePicturesIsFolder);

// Writes the picture as a PNG into `folder` under the first free name for the seed and
// returns its path, or nothing after putting into `error` why it could not.
std::optional<std::string> writePicture(const ViewportPixels& pixels, const std::string& folder,
                                        std::uint32_t seed, std::string& error);

// The key that saves the view: S, which no desktop takes for itself.
inline constexpr sf::Keyboard::Key saveKey = sf::Keyboard::S;

// Whether the save key is down: held, it repeats, and one press is to save one picture.
struct SaveKeyState {
    bool held = false;
};

// True for the event of the save key going down; its repeats while held are not. A release
// or the window losing the focus, which may hide the release, let it go again.
bool saveKeyPressed(SaveKeyState& state, const sf::Event& event);

// Saves what the current viewport of the buffer being drawn shows, and says in one line
// on standard output where, or in one line on standard error why not. Never stops the
// viewer.
void saveView(std::uint32_t seed);
