#pragma once

// Ctrl+C, a polite kill and a closed terminal (SIGINT, SIGTERM, SIGHUP) become a request
// to close, so the normal shutdown order runs and gives back the screen's video mode. A
// signal the viewer was started ignoring (nohup, a background job) stays ignored, and a
// second signal ends the viewer on the spot.
void installTerminationHandlers();

// True once one of those signals has arrived.
bool terminationRequested();
