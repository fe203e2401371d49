// Between the COM entry points and the XAudio2 engine of this folder.
#pragma once

#include <xaudio2.h>

namespace winapi {

// A new, not yet initialised XAudio2 2.7 engine with one reference.
HRESULT CreateXAudio2Engine(IXAudio2** out);

}  // namespace winapi
