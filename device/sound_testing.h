// Read-outs and set-ups of the sound module for tests; the game itself
// never calls these. Same state and lifetime as sound.h describes.
#pragma once

#include "device/sound.h"

// The voice of a sound (null where loading did not get that far).
IXAudio2SourceVoice* GetSoundVoice(int index);
