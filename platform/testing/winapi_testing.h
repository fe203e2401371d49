// Test hooks of our Windows layer: everything a test needs to drive the game
// without a person at the keyboard. Only tests include this.
#pragma once

#include "d3d9_testing.h"
#include "d3dx9_testing.h"
#include "dinput_testing.h"
#include "win32_testing.h"
#include "xaudio2_testing.h"
