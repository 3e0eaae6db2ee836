#pragma once

#include <cstdint>
#include <future>
#include <glm/vec3.hpp>
#include <vector>

// The start-up steps before the window opens: the processor's check and the globe's build,
// which the draw benchmark shares.

// False after one line on standard error when the processor cannot run the globe's code.
bool checkProcessor();

// The sphere grid pushed in and out by the random cuts, drawn from rand().
void buildGlobe(std::vector<std::uint32_t>& indices, std::vector<glm::vec3>& positions);

// The same globe built on a worker thread while the caller goes on. The cuts' directions
// are drawn from rand() before it returns, so that nothing the caller or its libraries
// draw later can shift them. The lists must outlive the future, whose destructor waits
// for the worker; get() hands on a failed allocation. Where no thread can be had, get()
// builds the globe on the spot, to the same bytes.
std::future<void> startBuildingGlobe(std::vector<std::uint32_t>& indices,
                                     std::vector<glm::vec3>& positions);
