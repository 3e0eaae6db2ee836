// Drives the real viewer binary on a virtual screen: its window, its picture, its
// response to keys and the wheel, and how it starts and stops whatever the assets.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <SFML/Graphics/Image.hpp>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <glm/geometric.hpp>
#include <memory>
#include <regex>
#include <thread>

#include "globe/globe.h"
#include "xdriver.h"

namespace fs = std::filesystem;

namespace {

// Generous limits that only guard against hangs on the software renderer.
constexpr double timeoutSeconds = 60.0;
const std::string silentAudio = "ALSOFT_DRIVERS=null";
const std::string musicFile = "mellowsad beat.ogg";

// Silent sound, and a clock that starts at second `second` of 2026-03-01 12:00 UTC
// (1772366400 since the epoch).
std::vector<std::string> fakedClock(int second) {
    return {silentAudio, "FAKETIME=@2026-03-01 12:00:0" + std::to_string(second), "TZ=UTC",
            "FAKETIME_DONT_FAKE_MONOTONIC=1", std::string("LD_PRELOAD=") + FAKETIME_LIBRARY};
}

struct Viewer {
    ProgramRun run;
    std::string standardErrorFile;
};

// Ends the run when the test leaves its scope, however it leaves.
using RunEnder = std::unique_ptr<ProgramRun, void (*)(ProgramRun*)>;
RunEnder endOnScopeExit(Viewer& viewer) {
    return RunEnder(&viewer.run, [](ProgramRun* run) { endRun(*run); });
}

// Waits for the window and, unless told otherwise, the globe.
bool shows(Viewer& viewer, bool globe = true) {
    return waitForWindow(viewer.run, "Quillmere", timeoutSeconds) &&
           (!globe || waitForFirstFrame(viewer.run, timeoutSeconds));
}

std::optional<int> closeViewer(Viewer& viewer) {
    requestClose(viewer.run);
    return waitForExit(viewer.run, timeoutSeconds);
}

// Starts the viewer in a fresh directory of its own (under the test's working directory,
// in the build tree) holding `assets`: "real" ones are the real music and a ramp whose
// texel t is (t, 255 - t, 128), so red names the texel and every texel lies on the line
// red + green = 255; "missing" ones are left out; "empty" and "corrupt" ones are files of
// no bytes or of bytes in no known format.
Viewer launchIn(const std::string& name, const std::vector<std::string>& environment,
                const std::string& assets = "real") {
    const fs::path directory = fs::absolute("app_test_runs") / name;
    fs::remove_all(directory);
    fs::create_directories(directory);
    if (assets == "real") {
        sf::Image ramp;
        ramp.create(256, 1);
        for (int t = 0; t < 256; ++t) ramp.setPixel(t, 0, sf::Color(t, 255 - t, 128));
        EXPECT_TRUE(ramp.saveToFile((directory / "terrain.png").string()));
        fs::copy_file(fs::path(QUILLMERE_ASSETS) / musicFile, directory / musicFile);
    }
    const std::string bytes(assets == "corrupt" ? 4096 : 0, '\xA5');
    for (const std::string& file : {std::string("terrain.png"), musicFile})
        if (assets == "empty" || assets == "corrupt") std::ofstream(directory / file) << bytes;
    const std::string standardErrorFile = (directory / "stderr").string();
    return {launchProgram({QUILLMERE_BINARY, directory.string(), environment, standardErrorFile}),
            standardErrorFile};
}

const auto brightness = [](Rgb pixel) { return pixel.red + pixel.green + pixel.blue; };

// The radius of the disc with the area of the globe's silhouette, and its centre: the
// relief makes the outline ragged, so all of it is taken.
glm::dvec3 outlineOf(const RgbImage& image) {
    glm::dvec3 sum(0.0);
    for (int k = 0; k < image.width * image.height; ++k) {
        const int x = k % image.width, y = k / image.width;
        if (brightness(pixelAt(image, x, y)) > 0) sum += glm::dvec3(x, y, 1);
    }
    return {std::sqrt(sum.z / M_PI), sum.x / sum.z, sum.y / sum.z};
}

}  // namespace

TEST(RealProgram, ShowsTheGlobeOfItsStartSecondAndAnswersKeysAndWheel) {
    Viewer viewer = launchIn("picture", fakedClock(0));
    const RunEnder ending = endOnScopeExit(viewer);
    const ProgramRun& run = viewer.run;
    ASSERT_TRUE(shows(viewer)) << readWholeFile(viewer.standardErrorFile);
    const RgbImage first = grabScreen(run);

    // A unit sphere seen from 3 units with a 45 degree view spans about 307 pixels of
    // radius at 720 lines. The relief moves the outline in and out by several per cent
    // and can shift its centre by a dozen pixels. A stretched globe or a screen not
    // cleared to black would change the silhouette's area; a window smaller, larger or
    // elsewhere than the 1280 x 720 screen would move its centre.
    const glm::dvec3 outline = outlineOf(first);
    for (const int axis : {0, 1, 2})
        EXPECT_NEAR(outline[axis], glm::dvec3(315, 640, 360)[axis], 20) << "radius, x, y: " << axis;
    for (const int corner : {0, 1279, 1280 * 719, 1280 * 720 - 1})
        EXPECT_EQ(brightness(pixelAt(first, corner % 1280, corner / 1280)), 0) << corner;

    // Well inside the silhouette (deep basins pull it in to about 285 pixels) every pixel
    // lies on the ramp's line: multisampling may blend neighbouring texels at triangle
    // edges, and a blend of two ramp colours stays on the line.
    int interior = 0, exact = 0, offLine = 0;
    std::vector<bool> texels(256);
    for (int k = 0; k < 1280 * 720; ++k) {
        const int x = k % 1280 - 640, y = k / 1280 - 360;
        if (x * x + y * y > 265 * 265) continue;
        const Rgb pixel = pixelAt(first, k % 1280, k / 1280);
        ++interior;
        offLine += std::abs(pixel.red + pixel.green - 255) > 2 || std::abs(pixel.blue - 128) > 1;
        if (pixel.red + pixel.green == 255 && pixel.blue == 128) ++exact, texels[pixel.red] = true;
    }
    EXPECT_EQ(offLine, 0) << "of " << interior << " interior pixels";
    EXPECT_GE(exact, 0.93 * interior) << "of " << interior << " interior pixels";
    EXPECT_GT(std::count(texels.begin(), texels.end(), true), 20);

    // The globe the viewer builds from the faked second. Grid points around (128, 128),
    // which faces the eye, land where the camera puts them and show their own texel, not
    // that of the far side around the antipode (128, 384).
    std::srand(1772366400);
    std::vector<glm::vec3> globe;
    std::vector<std::uint32_t> indices;
    generateSphere(indices, globe);
    applyFaults(globe);
    const auto height = [&](int i, int j) { return glm::length(globe[i * gridSize + j]); };
    // Antipodes stand on opposite sides of 1, so they differ unless both are near it.
    ASSERT_GT(std::abs(height(128, 128) - height(128, 384)), 0.02f) << "this seed cannot tell";
    int matches = 0;
    for (int k = 0; k < 49; ++k) {
        const int i = 116 + k / 7 * 4, j = 116 + k % 7 * 4;
        const glm::vec3 point = globe[i * gridSize + j];
        // The eye 3 units out on z looks at the centre with a 45 degree view of 16:9, and
        // 1 / tan(22.5 degrees) is 1 + sqrt(2).
        const float scale = (1.0f + std::sqrt(2.0f)) / (3.0f - point.z);
        const Rgb pixel = pixelAt(first, static_cast<int>(640 * (1 + point.x * scale * 9 / 16)),
                                  static_cast<int>(360 * (1 - point.y * scale)));
        // Red is the texel, a texel or two off for sampling and the blend across the
        // pixel's triangles.
        const float texel = (std::clamp(height(i, j), 0.96f, 1.04f) - 0.96f) / 0.08f * 256;
        matches += std::abs(pixel.red - texel) <= 8;
    }
    EXPECT_GE(matches, 44) << "of 49 grid points";

    // Escape and other non-arrow keys neither end it nor move the globe.
    for (const KeySym key : {XK_Escape, XK_a, XK_space, XK_Return, XK_q, XK_F4}) tapKey(run, key);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(grabScreen(run).pixels == first.pixels) << "a non-arrow key moved or closed it";

    // Three notches bring the eye from 3 to 2.625 units (about 50 pixels more radius);
    // six back take it to 3.375 (about 40 pixels less than at the start); holding Left
    // (no notches) turns the globe until it is released. Each time the picture changes,
    // then settles: later notches may land in later frames.
    for (const auto& [notches, change] : {std::pair{3, 30.0}, {-6, -25.0}, {0, 0.0}}) {
        const RgbImage before = grabScreen(run);
        notches != 0 ? turnWheel(run, notches) : setKey(run, XK_Left, true);
        EXPECT_TRUE(waitForPictureChange(run, before, timeoutSeconds)) << notches;
        if (notches == 0) setKey(run, XK_Left, false);
        // Unchanged for a second: several frames at the software renderer's pace.
        const std::optional<RgbImage> settled = waitForStillPicture(run, 1.0, timeoutSeconds);
        ASSERT_TRUE(settled) << "it kept moving after " << notches << " notches";
        // The radius moves by more than `change` pixels, the same way.
        EXPECT_TRUE(notches == 0 || (outlineOf(*settled).x - outline.x) / change > 1.0)
            << "the radius did not follow " << notches << " notches";
    }

    EXPECT_EQ(closeViewer(viewer), 0);
    // Nothing on standard error but the windowing library's note.
    const std::regex note("Setting vertical sync not supported\n");
    EXPECT_EQ(std::regex_replace(readWholeFile(viewer.standardErrorFile), note, ""), "");

    // Started in the same second it builds the same globe, in the next one another.
    for (const int second : {0, 1}) {
        Viewer again = launchIn("again", fakedClock(second));
        const RunEnder againEnding = endOnScopeExit(again);
        ASSERT_TRUE(shows(again)) << readWholeFile(again.standardErrorFile);
        EXPECT_EQ(grabScreen(again.run).pixels == first.pixels, second == 0) << "second " << second;
    }
}

TEST(RealProgram, LoaderFailureEndsWithStatusOne) {
    // Mesa then offers an OpenGL 1.0 context, which the loader refuses.
    Viewer viewer = launchIn("loader", {silentAudio, "MESA_GL_VERSION_OVERRIDE=1.0"}, "missing");
    const RunEnder ending = endOnScopeExit(viewer);
    EXPECT_EQ(waitForExit(viewer.run, timeoutSeconds), 1);
    const std::string text = readWholeFile(viewer.standardErrorFile);
    // Its message, once, among the windowing library's warnings.
    const auto at = text.find("Failed ot init GLEW.\n");
    EXPECT_TRUE(at != std::string::npos && at == text.rfind("Failed ot init GLEW.\n")) << text;
}

TEST(RealProgram, RunsWithMissingEmptyOrCorruptAssetsOrNoSoundDevice) {
    // The last run leaves OpenAL to find whatever this machine has for sound output.
    unsetenv("ALSOFT_DRIVERS");
    for (const std::string assets : {"missing", "empty", "corrupt", "real"}) {
        SCOPED_TRACE(assets);
        const bool real = assets == "real";
        Viewer viewer =
            launchIn("assets-" + assets,
                     real ? std::vector<std::string>() : std::vector{silentAudio}, assets);
        const RunEnder ending = endOnScopeExit(viewer);
        // Without a ramp the globe samples black on a black screen: the window and a clean
        // exit on close after a few seconds show that the frame loop ran.
        ASSERT_TRUE(shows(viewer, real)) << readWholeFile(viewer.standardErrorFile);
        std::this_thread::sleep_for(std::chrono::seconds(3));
        // A streaming thread that cannot reach a device writes tens of megabytes a second.
        EXPECT_LT(fs::file_size(viewer.standardErrorFile), 2048u);
        EXPECT_EQ(closeViewer(viewer), 0) << readWholeFile(viewer.standardErrorFile);
        // Playing without sound is said once at most.
        const std::string text = readWholeFile(viewer.standardErrorFile);
        EXPECT_EQ(text.find("No audio output"), text.rfind("No audio output")) << text;
    }
}
