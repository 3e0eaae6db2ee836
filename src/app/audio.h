#pragma once

// True when a sound output device can be opened. Without one, the audio library's
// streaming thread would report the failure over and over, so the viewer stays silent.
bool audioOutputAvailable();
