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

// For a screensaver's run, which holds nothing that outlives the process (no music, no idle
// inhibition, and a window the X server takes down with the connection): from now on those
// signals end it at once with their default action, as a screensaver expects of its
// programs, rather than after the frame being drawn, which on a busy machine and at the low
// priority screensavers run with may take most of a second. One that came already does so now.
void endAtOnceOnTermination();
