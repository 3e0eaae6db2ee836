// Runs the viewer, saves its first globe frame as a PNG, then closes it.
// Usage: screenshot <quillmere binary> <working dir> <output.png>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "xdriver.h"

namespace {

const std::string viewerTitle = "Quillmere";
// Generous: the globe is built before the first frame, on a software renderer.
constexpr double windowTimeoutSeconds = 60.0;
constexpr double firstFrameTimeoutSeconds = 120.0;
constexpr double exitTimeoutSeconds = 30.0;
constexpr int failureStatus = 1;

std::string absolute(const std::string& path) {
    return std::filesystem::absolute(path).string();
}

// Shows what the viewer itself reported, so a failed screenshot explains itself.
void forwardStandardError(const std::string& path) {
    std::cerr << readWholeFile(path);
    std::remove(path.c_str());
}

}  // namespace

int main(int argumentCount, char** arguments) {
    if (argumentCount != 4) {
        std::cerr << "usage: screenshot <quillmere binary> <working dir> <output.png>\n";
        return failureStatus;
    }
    LaunchSettings settings;
    settings.binary = absolute(arguments[1]);
    settings.workingDirectory = arguments[2];
    const std::string output = arguments[3];
    settings.standardErrorFile = (std::filesystem::temp_directory_path() /
                                  ("quillmere-screenshot-" + std::to_string(getpid()) + ".stderr"))
                                     .string();

    ProgramRun run = launchProgram(settings);
    if (run.display == nullptr) {
        std::cerr << "screenshot: cannot open the X display (is DISPLAY set?)\n";
        endRun(run);
        return failureStatus;
    }
    const bool shown = waitForWindow(run, viewerTitle, windowTimeoutSeconds) &&
                       waitForFirstFrame(run, firstFrameTimeoutSeconds);
    bool saved = false;
    if (shown) {
        saved = savePng(grabScreen(run), output);
        if (saved) std::cout << output << std::endl;
    }
    requestClose(run);
    const std::optional<int> status = waitForExit(run, exitTimeoutSeconds);
    endRun(run);
    forwardStandardError(settings.standardErrorFile);

    if (!shown) std::cerr << "screenshot: the globe never appeared\n";
    if (shown && !saved) std::cerr << "screenshot: cannot write " << output << "\n";
    if (!status) std::cerr << "screenshot: the viewer did not close and was killed\n";
    if (!shown || !saved || !status) return failureStatus;
    return *status;
}
