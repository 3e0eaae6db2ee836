// Drives the real viewer binary on a virtual screen: its window, its picture, its
// response to keys and the wheel, and how it starts and stops whatever the assets.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <SFML/Graphics/Image.hpp>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <glm/gtc/matrix_transform.hpp>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "globe.h"
#include "xdriver.h"

namespace fs = std::filesystem;

namespace {

const std::string viewerTitle = "Quillmere";
constexpr int screenWidth = 1280;
constexpr int screenHeight = 720;
constexpr int centreX = screenWidth / 2;
constexpr int centreY = screenHeight / 2;

// Generous limits that only guard against hangs: the globe is built before the first
// frame and the software renderer draws a few frames a second.
constexpr double windowTimeoutSeconds = 60.0;
constexpr double firstFrameTimeoutSeconds = 120.0;
constexpr double changeTimeoutSeconds = 30.0;
constexpr double exitTimeoutSeconds = 30.0;
// Long enough for a key event to be drained and its frame to reach the screen.
constexpr auto settleTime = std::chrono::milliseconds(1500);
// A picture unchanged for this long has stopped moving: several frames at the
// software renderer's pace.
constexpr double stillSeconds = 1.0;

const std::string silentAudio = "ALSOFT_DRIVERS=null";
const std::string fakedStart = "2026-03-01 12:00:00";
const std::string nextFakedStart = "2026-03-01 12:00:01";

// A ramp whose texel t is (t, 255 - t, 128): red names the texel and every texel lies on
// the line red + green = 255.
constexpr int rampWidth = 256;
constexpr int rampBlue = 128;
constexpr int rampRedPlusGreen = 255;

const std::string musicFile = "mellowsad beat.ogg";
const std::string rampFile = "terrain.png";

fs::path scratchRoot() {
    return fs::temp_directory_path() / ("quillmere-app-test-" + std::to_string(getpid()));
}

fs::path scratchDirectory(const std::string& name) {
    const fs::path directory = scratchRoot() / name;
    fs::remove_all(directory);
    fs::create_directories(directory);
    return directory;
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

void writeTestRamp(const fs::path& directory) {
    sf::Image ramp;
    ramp.create(rampWidth, 1);
    for (int texel = 0; texel < rampWidth; ++texel) {
        ramp.setPixel(texel, 0,
                      sf::Color(texel, rampRedPlusGreen - texel, static_cast<sf::Uint8>(rampBlue)));
    }
    ASSERT_TRUE(ramp.saveToFile((directory / rampFile).string()));
}

void copyRealMusic(const fs::path& directory) {
    fs::copy_file(fs::path(QUILLMERE_ASSETS) / musicFile, directory / musicFile);
}

std::vector<std::string> fakedClock(const std::string& start) {
    return {"FAKETIME=@" + start, "FAKETIME_DONT_FAKE_MONOTONIC=1", "TZ=UTC",
            std::string("LD_PRELOAD=") + FAKETIME_LIBRARY};
}

LaunchSettings settingsFor(const fs::path& directory, std::vector<std::string> environment) {
    LaunchSettings settings;
    settings.binary = QUILLMERE_BINARY;
    settings.workingDirectory = directory.string();
    settings.extraEnvironment = std::move(environment);
    settings.standardErrorFile = (directory / "stderr.txt").string();
    return settings;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::string standardErrorOf(const LaunchSettings& settings) {
    return readWholeFile(settings.standardErrorFile);
}

bool isBlack(Rgb pixel) {
    return pixel.red == 0 && pixel.green == 0 && pixel.blue == 0;
}

struct GlobeOutline {
    double centreX = 0.0;
    double centreY = 0.0;
    // The radius of the disc with the same area as the globe's silhouette.
    double radius = 0.0;
    int width = 0;
    int height = 0;
};

// The relief makes the silhouette ragged, so its size is taken over all of it rather
// than along one row.
GlobeOutline outlineOf(const RgbImage& image) {
    double sumX = 0.0;
    double sumY = 0.0;
    long count = 0;
    int left = image.width;
    int right = -1;
    int top = image.height;
    int bottom = -1;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (isBlack(pixelAt(image, x, y))) continue;
            sumX += x;
            sumY += y;
            ++count;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (count == 0) return {};
    return {sumX / count, sumY / count, std::sqrt(count / M_PI), right - left + 1,
            bottom - top + 1};
}

// Starts the viewer and waits for its window and, unless told otherwise, its globe.
void startViewer(ProgramRun& run, const LaunchSettings& settings, bool expectGlobe = true) {
    run = launchProgram(settings);
    ASSERT_NE(run.display, nullptr) << "no X display";
    ASSERT_TRUE(waitForWindow(run, viewerTitle, windowTimeoutSeconds))
        << "no window titled Quillmere; stderr:\n"
        << standardErrorOf(settings);
    if (expectGlobe) {
        ASSERT_TRUE(waitForFirstFrame(run, firstFrameTimeoutSeconds)) << "the globe never showed";
    }
}

void closeAndExpectSuccess(ProgramRun& run, const LaunchSettings& settings) {
    requestClose(run);
    EXPECT_EQ(waitForExit(run, exitTimeoutSeconds), std::optional<int>(0))
        << "stderr:\n"
        << standardErrorOf(settings);
    endRun(run);
}

std::optional<RgbImage> firstFrameOf(const LaunchSettings& settings) {
    ProgramRun run;
    std::optional<RgbImage> frame;
    startViewer(run, settings);
    if (!testing::Test::HasFatalFailure()) frame = grabScreen(run);
    closeAndExpectSuccess(run, settings);
    return frame;
}

// --- what the picture should hold ---

void expectFullscreenWindow(const ProgramRun& run) {
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(run.display, run.window, &attributes), 0);
    EXPECT_EQ(attributes.width, screenWidth);
    EXPECT_EQ(attributes.height, screenHeight);
    EXPECT_EQ(attributes.map_state, IsViewable);
    int x = -1;
    int y = -1;
    Window child = 0;
    XTranslateCoordinates(run.display, run.window, DefaultRootWindow(run.display), 0, 0, &x, &y,
                          &child);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
}

void expectCentredGlobe(const RgbImage& frame) {
    // A unit sphere seen from 3 units with a 45 degree view spans about 307 pixels of
    // radius at 720 lines. The relief moves the silhouette in and out by several per
    // cent, and whole hemispheres can stand higher than the rest, which shifts the
    // outline's centre by up to a dozen pixels; exact placement is checked point by
    // point against the computed globe.
    constexpr double reliefShift = 20.0;
    const GlobeOutline outline = outlineOf(frame);
    EXPECT_GE(outline.radius, 295.0);
    EXPECT_LE(outline.radius, 335.0);
    EXPECT_NEAR(outline.centreX, centreX, reliefShift);
    EXPECT_NEAR(outline.centreY, centreY, reliefShift);
    // Round, not stretched by the 16:9 screen.
    EXPECT_NEAR(static_cast<double>(outline.width) / outline.height, 1.0, 0.1);
    for (const auto& [x, y] : {std::pair{0, 0},
                               {screenWidth - 1, 0},
                               {0, screenHeight - 1},
                               {screenWidth - 1, screenHeight - 1}}) {
        EXPECT_TRUE(isBlack(pixelAt(frame, x, y))) << "corner " << x << "," << y;
    }
}

void expectRampColours(const RgbImage& frame) {
    // Well inside the silhouette: deep basins pull it in to about 285 pixels, and
    // heights below 0.9 would need far more inward cuts than the relief ever gives.
    constexpr int interiorRadius = 265;
    constexpr double minimumExactShare = 0.93;
    constexpr std::size_t minimumDistinctTexels = 20;
    int interior = 0;
    int exact = 0;
    int offLine = 0;
    std::set<int> texels;
    for (int y = centreY - interiorRadius; y <= centreY + interiorRadius; ++y) {
        for (int x = centreX - interiorRadius; x <= centreX + interiorRadius; ++x) {
            const int dx = x - centreX;
            const int dy = y - centreY;
            if (dx * dx + dy * dy > interiorRadius * interiorRadius) continue;
            const Rgb pixel = pixelAt(frame, x, y);
            ++interior;
            // Multisampling blends neighbouring texels where a triangle edge crosses a
            // pixel; a blend of two ramp colours still lies on the ramp's line.
            const int sum = pixel.red + pixel.green;
            if (std::abs(sum - rampRedPlusGreen) > 2 || std::abs(pixel.blue - rampBlue) > 1) {
                ++offLine;
            } else if (sum == rampRedPlusGreen && pixel.blue == rampBlue) {
                ++exact;
                texels.insert(pixel.red);
            }
        }
    }
    EXPECT_EQ(offLine, 0) << "of " << interior << " interior pixels";
    EXPECT_GE(exact, minimumExactShare * interior) << "of " << interior << " interior pixels";
    EXPECT_GT(texels.size(), minimumDistinctTexels);
}

int texelForHeight(float height) {
    const float lowest = 0.96f;
    const float highest = 1.04f;
    const float coordinate = (std::clamp(height, lowest, highest) - lowest) / (highest - lowest);
    return std::min(rampWidth - 1, static_cast<int>(coordinate * rampWidth));
}

// The faked clock reads its start as UTC (the viewer runs with TZ=UTC).
std::time_t secondsOf(const std::string& start) {
    std::tm calendarTime{};
    strptime(start.c_str(), "%Y-%m-%d %H:%M:%S", &calendarTime);
    return timegm(&calendarTime);
}

// The globe the viewer builds from the faked start second, computed here as well.
std::vector<glm::vec3> globeForSeed(std::time_t seed) {
    std::srand(static_cast<unsigned>(seed));
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    generateSphere(indices, positions);
    applyFaults(positions);
    return positions;
}

void expectNearSideInFront(const RgbImage& frame, const std::vector<glm::vec3>& positions) {
    constexpr int quarterTurn = gridSize / 4;
    constexpr int halfTurn = gridSize / 2;
    // A texel or two of sampling, plus the blend across the pixel's triangles.
    constexpr int tolerance = 8;
    const glm::mat4 mvp = glm::perspective(glm::radians(45.0f), 16.0f / 9.0f, 0.1f, 100.0f) *
                          glm::lookAt(glm::vec3(0, 0, 3), glm::vec3(0), glm::vec3(0, 1, 0));
    const auto at = [&](int i, int j) { return positions[i * gridSize + j]; };

    // Grid point (128, 128) faces the eye; its antipode (128, 384) is straight behind it.
    const int centreRed = pixelAt(frame, centreX, centreY).red;
    const int nearTexel = texelForHeight(glm::length(at(quarterTurn, quarterTurn)));
    const int farTexel = texelForHeight(glm::length(at(quarterTurn, quarterTurn + halfTurn)));
    ASSERT_GT(std::abs(nearTexel - farTexel), 4 * tolerance) << "this seed cannot tell them apart";
    EXPECT_NEAR(centreRed, nearTexel, tolerance) << "far side texel " << farTexel;

    // The points around it land where the camera puts them, each with its own colour.
    int matches = 0;
    int samples = 0;
    for (int i = quarterTurn - 12; i <= quarterTurn + 12; i += 4) {
        for (int j = quarterTurn - 12; j <= quarterTurn + 12; j += 4) {
            const glm::vec4 clip = mvp * glm::vec4(at(i, j), 1.0f);
            const int x = static_cast<int>((clip.x / clip.w + 1.0f) * 0.5f * screenWidth);
            const int y = static_cast<int>((1.0f - clip.y / clip.w) * 0.5f * screenHeight);
            const int expected = texelForHeight(glm::length(at(i, j)));
            ++samples;
            if (std::abs(pixelAt(frame, x, y).red - expected) <= tolerance) ++matches;
        }
    }
    EXPECT_GE(matches, samples * 9 / 10) << "of " << samples << " grid points";
}

// --- input ---

void expectOtherKeysIgnored(ProgramRun& run, const RgbImage& firstFrame) {
    for (const KeySym key : {XK_Escape, XK_a, XK_space, XK_Return, XK_q, XK_F4}) tapKey(run, key);
    std::this_thread::sleep_for(settleTime);
    ASSERT_TRUE(programRunning(run)) << "a key ended the program";
    EXPECT_TRUE(waitForWindow(run, viewerTitle, 1.0)) << "the window went away";
    EXPECT_TRUE(grabScreen(run).pixels == firstFrame.pixels) << "a non-arrow key moved the globe";
}

double radiusAfterWheel(const ProgramRun& run, int notches) {
    const RgbImage before = grabScreen(run);
    turnWheel(run, notches);
    if (!waitForPictureChange(run, before, changeTimeoutSeconds)) return outlineOf(before).radius;
    // Later notches may land in a later frame.
    const std::optional<RgbImage> settled =
        waitForStillPicture(run, stillSeconds, changeTimeoutSeconds);
    return settled ? outlineOf(*settled).radius : 0.0;
}

void expectWheelZooms(const ProgramRun& run, double startRadius) {
    // Three notches bring the eye from 3 to 2.625 units (about 50 pixels more radius);
    // six back take it to 3.375 (about 40 pixels less than at the start).
    const double nearer = radiusAfterWheel(run, 3);
    EXPECT_GT(nearer, startRadius + 30.0);
    const double further = radiusAfterWheel(run, -6);
    EXPECT_LT(further, startRadius - 25.0);
}

void expectLeftTurnsUntilReleased(const ProgramRun& run) {
    const RgbImage before = grabScreen(run);
    setKey(run, XK_Left, true);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const RgbImage held = grabScreen(run);
    setKey(run, XK_Left, false);
    EXPECT_FALSE(held.pixels == before.pixels) << "holding Left did not turn the globe";

    EXPECT_TRUE(waitForStillPicture(run, stillSeconds, changeTimeoutSeconds))
        << "the globe kept turning";
}

void expectOnlyLibraryNotes(const std::string& standardError) {
    const std::set<std::string> knownLines = {"Setting vertical sync not supported"};
    for (const std::string& line : linesOf(standardError)) {
        EXPECT_TRUE(knownLines.count(line) == 1) << "unexpected on stderr: " << line;
    }
}

}  // namespace

TEST(RealProgram, ShowsTheGlobeAndAnswersKeysAndWheel) {
    const fs::path directory = scratchDirectory("picture");
    writeTestRamp(directory);
    copyRealMusic(directory);
    std::vector<std::string> environment = fakedClock(fakedStart);
    environment.push_back(silentAudio);
    const LaunchSettings settings = settingsFor(directory, environment);

    ProgramRun run;
    startViewer(run, settings);
    RgbImage firstFrame;
    if (!HasFatalFailure()) {
        firstFrame = grabScreen(run);
        expectFullscreenWindow(run);
        expectCentredGlobe(firstFrame);
        expectRampColours(firstFrame);
        expectNearSideInFront(firstFrame, globeForSeed(secondsOf(fakedStart)));
        expectOtherKeysIgnored(run, firstFrame);
    }
    if (!HasFatalFailure()) {
        expectWheelZooms(run, outlineOf(firstFrame).radius);
        expectLeftTurnsUntilReleased(run);
    }
    closeAndExpectSuccess(run, settings);
    expectOnlyLibraryNotes(standardErrorOf(settings));
    fs::remove_all(scratchRoot());
}

TEST(RealProgram, SameStartSecondSameGlobe) {
    const fs::path directory = scratchDirectory("seed");
    writeTestRamp(directory);
    const auto silentRunFrom = [&](const std::string& start) {
        std::vector<std::string> environment = fakedClock(start);
        environment.push_back(silentAudio);
        return firstFrameOf(settingsFor(directory, environment));
    };
    const std::optional<RgbImage> first = silentRunFrom(fakedStart);
    const std::optional<RgbImage> again = silentRunFrom(fakedStart);
    const std::optional<RgbImage> later = silentRunFrom(nextFakedStart);
    ASSERT_TRUE(first && again && later);
    EXPECT_TRUE(first->pixels == again->pixels);
    EXPECT_FALSE(first->pixels == later->pixels);
    fs::remove_all(scratchRoot());
}

TEST(RealProgram, LoaderFailureEndsWithStatusOne) {
    const fs::path directory = scratchDirectory("loader");
    // Mesa then offers an OpenGL 1.0 context, which the loader refuses.
    const LaunchSettings settings =
        settingsFor(directory, {silentAudio, "MESA_GL_VERSION_OVERRIDE=1.0"});
    ProgramRun run = launchProgram(settings);
    EXPECT_EQ(waitForExit(run, windowTimeoutSeconds), std::optional<int>(1));
    endRun(run);
    const std::vector<std::string> lines = linesOf(standardErrorOf(settings));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Failed ot init GLEW."), 1);
    fs::remove_all(scratchRoot());
}

TEST(RealProgram, RunsWithMissingEmptyOrCorruptAssets) {
    constexpr std::size_t corruptSize = 4096;
    for (const std::string name : {"missing", "empty", "corrupt"}) {
        SCOPED_TRACE(name);
        const fs::path directory = scratchDirectory(name);
        if (name == "empty") {
            writeBytes(directory / rampFile, "");
            writeBytes(directory / musicFile, "");
        } else if (name == "corrupt") {
            writeBytes(directory / rampFile, randomBytes(corruptSize, 1));
            writeBytes(directory / musicFile, randomBytes(corruptSize, 2));
        }
        const LaunchSettings settings = settingsFor(directory, {silentAudio});
        ProgramRun run;
        // Without a ramp the globe samples black on a black screen: the window and a clean
        // exit on close show that the frame loop ran.
        startViewer(run, settings, false);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        EXPECT_TRUE(programRunning(run)) << standardErrorOf(settings);
        closeAndExpectSuccess(run, settings);
    }
    fs::remove_all(scratchRoot());
}

TEST(RealProgram, QuietWithoutASoundDevice) {
    constexpr std::size_t quietLimitBytes = 2048;
    const fs::path directory = scratchDirectory("no-sound");
    writeTestRamp(directory);
    copyRealMusic(directory);
    // Whatever this machine has for sound output, left for OpenAL to find.
    unsetenv("ALSOFT_DRIVERS");
    const LaunchSettings settings = settingsFor(directory, {});
    ProgramRun run;
    startViewer(run, settings);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    // A streaming thread that cannot reach a device writes tens of megabytes a second.
    const std::uintmax_t size = fs::file_size(settings.standardErrorFile);
    requestClose(run);
    EXPECT_EQ(waitForExit(run, exitTimeoutSeconds), std::optional<int>(0));
    endRun(run);
    EXPECT_LT(size, quietLimitBytes);
    if (size < quietLimitBytes) {
        const std::vector<std::string> lines = linesOf(standardErrorOf(settings));
        EXPECT_LE(std::count(lines.begin(), lines.end(),
                             "No audio output could be opened; playing without music."),
                  1);
    }
    fs::remove_all(scratchRoot());
}
