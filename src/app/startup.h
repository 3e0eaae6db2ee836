#pragma once

#include <atomic>
#include <future>
#include <memory>

#include "globe/globe.h"

// The start-up steps before the window opens: the processor's check and the globe's build,
// which the draw benchmark shares.

// False after one line on standard error when the processor cannot run the globe's code.
bool checkProcessor();

// The sphere grid pushed in and out by the random cuts, drawn from rand(), built here.
Globe buildGlobe();

// The globe on its way from a worker thread, and the flag that stops the worker. The worker
// owns the lists it fills until the future hands them over, so only a whole globe can be had;
// they stay in the build, unchanged by the upload, until the build goes.
struct GlobeBuild {
    std::shared_ptr<std::atomic<bool>> stop;
    std::shared_future<Globe> globe;
};

// Starts building the same globe on a worker thread while the caller goes on. The cuts'
// directions are drawn from rand() before it returns, so that nothing the caller or its
// libraries draw later can shift them. get() hands on a failed allocation. Where no thread
// can be had, get() builds the globe on the spot, to the same bytes.
GlobeBuild startBuildingGlobe();

// For a start that fails after the worker began: the worker stops at its next block of
// points and is waited for, so that no thread outlives the viewer and the failure is not
// held up by a globe nobody will see.
void abandonGlobe(GlobeBuild& build);
