#pragma once

#include <atomic>
#include <cstdint>
#include <glm/vec3.hpp>
#include <vector>

// The globe before it reaches the GPU: a sphere grid of gridSize x gridSize points
// and the triangle list that joins them, then pushed in and out by random plane cuts. Each
// function computes in the globe's own floating-point environment, whatever the caller set,
// and gives the caller's back.

// Deliberately the short 3.14159, not a closer pi. The grid's angle step takes it for pi, and
// the camera uses the same number as its key speed, in degrees per 60 frames. The directions
// of the cuts and the camera's degrees each name the closer pi they use where they use it.
inline constexpr float pi = 3.14159f;

inline constexpr int gridSize = 512;
inline constexpr int faultCount = 1000;
inline constexpr float faultScale = 1.0012f;

// The globe's two lists as the upload takes them: the triangles' corners, three indices a
// triangle, and the points they index.
struct Globe {
    std::vector<std::uint32_t> indices;
    std::vector<glm::vec3> positions;
};

// Appends gridSize * gridSize unit-sphere points and six indices per point.
void generateSphere(std::vector<std::uint32_t>& indices, std::vector<glm::vec3>& positions);

// A uniform random direction from two draws of rand() (each in [0, RAND_MAX]).
glm::vec3 unitVectorFromDraws(int firstDraw, int secondDraw);

// faultCount directions drawn from rand(), two draws each, in the order the cuts use them.
std::vector<glm::vec3> randomDirections();

// Applies the cuts along the given directions, in order (applyFaults draws them first), in
// shares on every core but the spared ones, and on one core at least. Once `stop` is set each
// share ends before its next block of points, leaving a globe only partly cut, for a caller that
// no longer wants it; a globe cut to the end has the same bytes with or without a flag.
void applyCuts(std::vector<glm::vec3>& positions, const std::vector<glm::vec3>& directions,
               unsigned sparedCores = 0, const std::atomic<bool>* stop = nullptr);

// Cuts the globe faultCount times through its centre: points on the positive side of
// each cut grow by faultScale, the rest shrink by it. Draws 2 * faultCount numbers.
void applyFaults(std::vector<glm::vec3>& positions);

// False on a 32-bit x86 processor without SSE2, where the library's code cannot run: it does
// its float and double arithmetic with SSE2 there, so that it rounds as on every other processor.
bool globeArithmeticAvailable();
// What the viewer says, in one line, where globeArithmeticAvailable() is false.
inline constexpr const char* globeArithmeticMissing =
    "This processor has no SSE2, which the globe needs on 32-bit x86.";
