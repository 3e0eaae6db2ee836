#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The viewer's options. With none given it starts as it always has: fullscreen, with the
// globe of the second it starts at.

// What the options ask for; the defaults are the plain start.
struct Options {
    // The number the globe's random generator starts from; without one, the clock's second.
    std::optional<std::uint32_t> seed;
    // A normal window of the picture's own size instead of one covering the screen.
    bool window = false;
    // As a screensaver, into the root window (the screensaver's, where it names one) or the
    // window with this id; either wins over `window`.
    bool root = false;
    std::optional<unsigned long> windowId;
    bool help = false;
    bool version = false;
};

// The options, or the one line that says what was wrong with them.
struct ParsedCommandLine {
    Options options;
    // Empty when every argument was understood.
    std::string error;
};

// The status a start with a command line it cannot use ends with, as command-line tools do.
inline constexpr int usageErrorStatus = 2;

// Reads the arguments after the program's name, in order; the first one it cannot use
// stops it. Options with a value take it as the next argument or after "=".
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// What --help prints: usage, options and keys, every line ending in a newline.
std::string helpText();

// What --version prints, ending in a newline.
std::string versionText();
