#pragma once

#include <SFML/Audio/Music.hpp>
#include <SFML/Graphics/Texture.hpp>

// The two files the viewer reads from its working directory, "terrain.png" and
// "mellowsad beat.ogg", are named and opened here and nowhere else, each only after the
// check that it is a regular file. They live with the start-up rather than the drawing, as
// the music is no part of the picture. Anything else under such a name (a directory, pipe,
// device or socket, also through links) gets one line on standard error and counts as
// missing: reading a pipe with no writer, or a device, would block or never end.

// Loads the colour ramp "terrain.png" into the texture. A missing or unreadable image leaves
// the texture empty: the globe then samples black and the viewer carries on.
void loadTerrainTexture(sf::Texture& texture);

// Opens "mellowsad beat.ogg" and plays it on a loop in the background. A missing or
// unreadable file plays nothing; the audio library names it on standard error.
void playMusicOnLoop(sf::Music& music);
