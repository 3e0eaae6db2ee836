#pragma once

// Ctrl+C, a polite kill and a closed terminal (SIGINT, SIGTERM, SIGHUP) become a request
// to close, so the normal shutdown order runs and lets go of the music, the idle inhibition
// and the window; then the viewer dies of that signal all the same, so that whoever started
// it sees it killed (status 128 + n in a shell) rather than closed. A signal the viewer was
// started ignoring (nohup, a background job) stays ignored, and a second signal ends the
// viewer on the spot.
void installTerminationHandlers();

// True once one of those signals has arrived.
bool terminationRequested();

// Once the shutdown is complete: dies of the signal that asked for it, with the signal's
// default action. Returns only when none arrived.
void endAsTerminated();
