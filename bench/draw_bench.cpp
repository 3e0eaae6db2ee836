// Prints how long the viewer takes from start to its first globe frame, split into its
// stages, with the globe built after the window opens and with it built on a worker while
// the window opens, side by side; then how many frames per second it draws, on whatever
// OpenGL driver the display offers. Run it with the assets as the working directory.
//
// Each start runs in a child process of its own, as the window library sets up its shared
// context only once per process; the two orders take turns, so that a load from elsewhere
// falls on both alike, and the medians are printed.

#include <sys/wait.h>
#include <unistd.h>

#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/ContextSettings.hpp>
#include <SFML/Window/Window.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "app/assets.h"
#include "app/audio.h"
#include "app/frame.h"
#include "app/startup.h"
#include "app/window.h"
#include "bench/figures.h"
#include "globe/globe.h"
#include "render/render.h"
#include "view/camera.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned reliefSeed = 1;
constexpr int rounds = 9;
constexpr int timedFrames = 30;

enum class GlobeOrder { AfterWindow, Overlapped };

// Milliseconds from the start to the end of each stage, in the order of the stages.
enum Stage {
    windowAndContext,
    globe,
    sceneWithoutGlobe,
    upload,
    musicStart,
    firstDraw,
    stageCount
};

struct StartTimes {
    double stageEnds[stageCount] = {};
};

struct DrawFigures {
    char renderer[160] = "";
    char version[96] = "";
    unsigned depthBits = 0, samples = 0, width = 0, height = 0;
    bool vertexArrays = false;
    double loopMilliseconds = 0;
};

// What a child sends back through its pipe.
struct Report {
    StartTimes times;
    DrawFigures draw;
};

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The viewer's own start-up calls in the given order, timed between them; with
// `drawRate`, then the frame loop's draw rate. False when the viewer could not start.
bool timeStart(GlobeOrder order, bool drawRate, Report& report) {
    double* const ends = report.times.stageEnds;
    const Clock::time_point start = Clock::now();
    // A fixed seed keeps the relief, and so the work, the same from run to run.
    std::srand(reliefSeed);
    // The child's end closes the connection, and the window with it.
    std::optional<ViewerDisplay> display = checkDisplay();
    if (!display) return false;
    sf::Window window = makeWindowObject();
    GlobeBuild globeBuild;
    if (order == GlobeOrder::Overlapped) globeBuild = startBuildingGlobe();
    if (!openViewer(window, *display)) {
        if (order == GlobeOrder::Overlapped) abandonGlobe(globeBuild);
        return false;
    }
    ends[windowAndContext] = millisecondsSince(start);

    Globe builtAfterWindow;
    if (order == GlobeOrder::AfterWindow) {
        builtAfterWindow = buildGlobe();
        ends[globe] = millisecondsSince(start);
    }
    sf::Texture texture;
    Scene scene = setUpScene(texture);
    ends[sceneWithoutGlobe] = millisecondsSince(start);
    const Globe& built =
        order == GlobeOrder::Overlapped ? globeBuild.globe.get() : builtAfterWindow;
    if (order == GlobeOrder::Overlapped) ends[globe] = millisecondsSince(start);
    scene.mesh = uploadGlobe(built.indices, built.positions, vertexArraysAvailable());
    ends[upload] = millisecondsSince(start);
    // What the viewer does about its music before its first frame.
    MusicStart music;
    if (audioOutputAvailable()) music = readMusic();
    ends[musicStart] = millisecondsSince(start);
    Camera camera;
    drawFrame(window, scene, texture, camera);
    glFinish();
    ends[firstDraw] = millisecondsSince(start);
    if (!drawRate) return true;

    // The globe turns by itself, so every frame has a new matrix.
    camera = turningCamera();
    const Clock::time_point loopStart = Clock::now();
    for (int frame = 0; frame < timedFrames; ++frame) drawFrame(window, scene, texture, camera);
    glFinish();
    DrawFigures& draw = report.draw;
    draw.loopMilliseconds = millisecondsSince(loopStart);
    std::snprintf(draw.renderer, sizeof draw.renderer, "%s",
                  reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::snprintf(draw.version, sizeof draw.version, "%s",
                  reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    const sf::ContextSettings settings = window.getSettings();
    draw.depthBits = settings.depthBits;
    draw.samples = settings.antialiasingLevel;
    draw.width = window.getSize().x;
    draw.height = window.getSize().y;
    draw.vertexArrays = scene.mesh.vertexArray != 0;
    return true;
}

// Runs timeStart in a fresh child process and hands back its report.
std::optional<Report> timeStartInChild(GlobeOrder order, bool drawRate) {
    int channel[2];
    if (pipe(channel) != 0) return std::nullopt;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        Report report;
        const bool started = timeStart(order, drawRate, report);
        const bool sent = started && write(channel[1], &report, sizeof report) == sizeof report;
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    Report report;
    const bool received = child > 0 && read(channel[0], &report, sizeof report) == sizeof report;
    close(channel[0]);
    int status = 0;
    if (child > 0) waitpid(child, &status, 0);
    if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return report;
}

// The median of each stage's own length over the runs, by stage, then of the whole start.
std::vector<double> stageMedians(const std::vector<StartTimes>& runs, GlobeOrder order) {
    const Stage orders[2][stageCount] = {
        {windowAndContext, globe, sceneWithoutGlobe, upload, musicStart, firstDraw},
        {windowAndContext, sceneWithoutGlobe, globe, upload, musicStart, firstDraw}};
    const Stage* const stages = orders[order == GlobeOrder::Overlapped];
    std::vector<double> medians(stageCount + 1);
    for (int s = 0; s < stageCount; ++s) {
        std::vector<double> lengths;
        for (const StartTimes& run : runs) {
            const double before = s == 0 ? 0 : run.stageEnds[stages[s - 1]];
            lengths.push_back(run.stageEnds[stages[s]] - before);
        }
        medians[stages[s]] = median(lengths);
    }
    std::vector<double> totals;
    for (const StartTimes& run : runs) totals.push_back(run.stageEnds[firstDraw]);
    medians[stageCount] = median(totals);
    return medians;
}

}  // namespace

int main() {
    // The music is timed on the silent sound driver unless another is asked for.
    setenv("ALSOFT_DRIVERS", "null", 0);
    std::vector<StartTimes> afterWindow, overlapped;
    std::optional<Report> drawn;
    for (int round = 0; round < rounds; ++round) {
        const std::optional<Report> first = timeStartInChild(GlobeOrder::AfterWindow, false);
        const bool last = round == rounds - 1;
        const std::optional<Report> second = timeStartInChild(GlobeOrder::Overlapped, last);
        if (!first || !second) {
            std::fprintf(stderr, "The viewer's start-up failed; no figures.\n");
            return 1;
        }
        afterWindow.push_back(first->times);
        overlapped.push_back(second->times);
        if (last) drawn = second;
    }

    const std::vector<double> before = stageMedians(afterWindow, GlobeOrder::AfterWindow);
    const std::vector<double> now = stageMedians(overlapped, GlobeOrder::Overlapped);
    const DrawFigures& draw = drawn->draw;
    std::printf("processor: %s\n", processorName().c_str());
    std::printf("renderer: %s, OpenGL %s, %u depth bits, %u samples, vertex arrays %s\n",
                draw.renderer, draw.version, draw.depthBits, draw.samples,
                draw.vertexArrays ? "used" : "not offered");
    std::printf("start-up, median of %d starts each, the two orders taking turns:\n", rounds);
    std::printf("  %-44s %16s %16s\n", "", "globe after", "globe built");
    std::printf("  %-44s %16s %16s\n", "", "the window", "meanwhile");
    const char* const rows[stageCount + 1] = {"window and context",
                                              "globe generation (what is left on the path)",
                                              "program, projection and texture",
                                              "globe upload",
                                              "music (what the first frame waits for)",
                                              "first draw",
                                              "start to first globe frame"};
    for (int row = 0; row <= stageCount; ++row)
        std::printf("  %-44s %13.1f ms %13.1f ms\n", rows[row], before[row], now[row]);
    const double saved = before[stageCount] - now[stageCount];
    std::printf(
        "first globe frame sooner by %.1f ms, %.2f of the globe's own %.1f ms; %.2fx as "
        "soon\n",
        saved, saved / before[globe], before[globe], before[stageCount] / now[stageCount]);
    std::printf("draw at %ux%u: %d frames in %.1f ms, %.2f frames per second\n", draw.width,
                draw.height, timedFrames, draw.loopMilliseconds,
                timedFrames * 1000.0 / draw.loopMilliseconds);
    return 0;
}
