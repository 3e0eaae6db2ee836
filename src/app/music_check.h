#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/assets.h"

// What assets.cpp and the music's decode check in a child process share.

// Our music is about 520 kB. The cap leaves room for the user's own while keeping a hostile
// file from filling memory, and a long tail after a valid Ogg stream from making the Vorbis
// library's open slow: its search for the last page takes time growing with the square of
// what follows the stream.
constexpr std::size_t musicCap = 8 << 20;
constexpr const char* musicCapText = "8 MiB";

// The music the viewer plays, as its first page declares it and as the decoder reads it.
constexpr unsigned mostChannels = 2;
constexpr unsigned lowestRate = 8000;
constexpr unsigned highestRate = 192000;

// Reads the open file to its end into `bytes`, which starts with room for `expected` bytes
// and grows up to `cap`. 0 when all of it fits, -1 when it goes on past `cap`, else the
// error number of a failed read.
int readUpTo(int file, std::size_t cap, std::size_t expected, std::vector<char>& bytes);

// Starts the child on `start.bytes`. Empty on success, else why the music cannot be checked.
std::string startMusicCheck(MusicStart& start);

// True once the child has ended, with `fault` empty when it decoded all of the music and
// else saying why not. A child past its deadline is ended here.
bool musicCheckEnded(MusicStart& start, std::string& fault);
