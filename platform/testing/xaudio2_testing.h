// Test hooks of the XAudio2 layer.
#pragma once

#include <windows.h>

// Number of source voices currently alive in the engine (0 without one).
int WinapiTest_LiveSourceVoices();
