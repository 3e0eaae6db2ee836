#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Drives the real viewer on an X display the way a person would: starts it, finds its
// window, watches the screen, presses keys, turns the wheel and asks the window to close.

struct LaunchSettings {
    std::string binary;
    std::string workingDirectory;
    // "NAME=value" entries added to (or replacing) the inherited environment.
    std::vector<std::string> extraEnvironment;
    // The program's standard error goes here, truncated first.
    std::string standardErrorFile;
};

struct ProgramRun {
    Display* display = nullptr;
    pid_t pid = -1;
    Window window = 0;
    // Set once the program has been seen to end: its exit code, or 128 + signal number.
    std::optional<int> exitStatus;
};

// Tightly packed 8-bit red, green, blue, row after row from the top.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// Opens the display named by DISPLAY and starts the program. On failure the run has no
// display or no pid; endRun still cleans up.
ProgramRun launchProgram(const LaunchSettings& settings);

// True while the program has not exited; notes the exit status once it has.
bool programRunning(ProgramRun& run);

// Finds the window whose title is `title` and remembers it. Fails when the program
// exits first or the timeout passes.
bool waitForWindow(ProgramRun& run, const std::string& title, double timeoutSeconds);

// Waits until the window's centre pixel is no longer black, i.e. the globe is on screen.
bool waitForFirstFrame(ProgramRun& run, double timeoutSeconds);

// The whole screen as the viewer shows it; empty when the display cannot be read.
RgbImage grabScreen(const ProgramRun& run);

Rgb pixelAt(const RgbImage& image, int x, int y);

// Polls the screen until it differs from `before`; empty on timeout.
std::optional<RgbImage> waitForPictureChange(const ProgramRun& run, const RgbImage& before,
                                             double timeoutSeconds);

// Polls the screen until it has stayed the same for `stillSeconds`; empty on timeout.
std::optional<RgbImage> waitForStillPicture(const ProgramRun& run, double stillSeconds,
                                            double timeoutSeconds);

// Presses or releases one key, given as an X key symbol (XK_Left, XK_Escape, ...).
void setKey(const ProgramRun& run, KeySym key, bool down);
void tapKey(const ProgramRun& run, KeySym key);

// Turns the mouse wheel over the middle of the screen: positive notches away from the
// user (button 4), negative towards (button 5).
void turnWheel(const ProgramRun& run, int notches);

// Asks the window to close as a window manager would (WM_DELETE_WINDOW), leaving the
// window itself to the program.
void requestClose(const ProgramRun& run);

// Waits for the program to end and returns its status; on timeout it is killed and
// nothing is returned.
std::optional<int> waitForExit(ProgramRun& run, double timeoutSeconds);

// Kills the program if it still runs and closes the display.
void endRun(ProgramRun& run);

bool savePng(const RgbImage& image, const std::string& path);

std::string readWholeFile(const std::string& path);
