#pragma once

#include <cstddef>
#include <string>

#include "app/assets.h"

// The music's decode check in a child process, for assets.cpp.

// Our music is about 520 kB. The cap leaves room for the user's own while keeping a hostile
// file from filling memory, and a long tail after a valid Ogg stream from making the Vorbis
// library's open slow: its search for the last page takes time growing with the square of
// what follows the stream.
constexpr std::size_t musicCap = 8 << 20;
constexpr const char* musicCapText = "8 MiB";

// Starts the child on `start.bytes`. Empty on success, else why the music cannot be checked.
std::string startMusicCheck(MusicStart& start);

// True once the child has ended, with `fault` empty when it decoded all of the music and
// else saying why not. A child past its deadline is ended here.
bool musicCheckEnded(MusicStart& start, std::string& fault);
