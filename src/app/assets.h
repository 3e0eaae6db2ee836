#pragma once

#include <sys/types.h>

#include <SFML/Audio/Music.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <chrono>
#include <optional>
#include <vector>

// The two files the viewer reads from its working directory, "terrain.png" and
// "mellowsad beat.ogg", are named, read and checked here and nowhere else. They live with
// the start-up rather than the drawing, as the music is no part of the picture.
//
// Whatever lies under those names is the user's, so no library decoder sees a file before
// it is known to be what the viewer uses: each is read whole, up to a size cap, and only
// a regular file (also through links; a pipe with no writer, or a device, would block or
// never end). A file that is refused gets one line on standard error naming it and why,
// and counts as missing: the globe is then drawn black, or turns in silence.

// Loads the colour ramp "terrain.png" into the texture: a PNG image decoded by libpng,
// which checks every chunk's checksum, and handed to the window library as pixels.
// A refused image leaves the texture empty, which the globe samples as black.
void loadTerrainTexture(sf::Texture& texture);

// The music on its way to playing. The window library's Vorbis decoder can still be
// crashed by a setup header that passes every check made here, so the file is decoded
// once in a child process of the viewer, with limits on its memory and processor time,
// and played only once that child has decoded all of it. The music streams from `bytes`,
// the very bytes the child decoded, so they must outlive it.
struct MusicStart {
    enum class Stage { over, read, checking };
    Stage stage = Stage::over;
    std::vector<char> bytes;
    pid_t checker = -1;
    std::chrono::steady_clock::time_point checkDeadline;
};

// Reads "mellowsad beat.ogg" and checks from its first page that it is Ogg Vorbis with 1
// or 2 channels at 8 to 192 kHz. Quick, so that the first frame does not wait for it.
MusicStart readMusic();

// Takes the music a step further, once a frame after the frame is shown: the first call
// starts the child's check, later ones look whether it has ended and, if it passed,
// open the music in `music` and play it on a loop. Never blocks.
void advanceMusicStart(MusicStart& start, std::optional<sf::Music>& music);

// Ends a check still running, at shutdown.
void abandonMusicStart(MusicStart& start);

// The viewer runs as that child when started under this program name: it reads the music
// from its standard input, decodes all of it and ends with 0, or with 1 when it does not
// decode. The name is no argument, so no command line can start it this way by chance.
constexpr const char* musicCheckName = "quillmere-music-check";
int runMusicCheck();
