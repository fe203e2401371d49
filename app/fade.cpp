// Fade and scene transition: one full-screen rectangle drawn over the frame
// whose alpha runs from 0 to 255 (fade-out) or from 255 to 0 (fade-in) by a
// fixed step per frame, and on top of it the key-driven scene-change request:
// wait for the key, fade out, switch at full black, fade in.
//
// State: the alpha (0..255), the rectangle's colour (black), the step per frame
// (negative while fading in), the direction, whether a fade runs, and whether a
// request has started its fade-out and waits for it to end.
//
// Lifetime: static state; InitFade at start-up clears it (the direction and
// step keep their values), UninitFade has nothing to release. Main thread only.
#include "app/fade.h"
#include "app/fade_testing.h"

#include <d3d9.h>

#include "app/scene.h"
#include "device/keyboard.h"
#include "ui2d/sprite.h"

#define FADE_ALPHA_MAX (255)

static int g_fadeAlpha = 0;
static int g_fadeRed = 0;
static int g_fadeGreen = 0;
static int g_fadeBlue = 0;
static int g_fadeStep = 0;
static bool g_fadeOut = false;
static bool g_fadeActive = false;
static bool g_fadeRequested = false;

void InitFade(void) {
    g_fadeRed = 0;
    g_fadeGreen = 0;
    g_fadeBlue = 0;
    g_fadeActive = false;
    g_fadeRequested = false;
    g_fadeAlpha = 0;
}

void UninitFade(void) {}

// Advances a running fade by one step, ending it at full black or at clear.
void UpdateFade(void) {
    if (!g_fadeActive) {
        return;
    }
    g_fadeAlpha += g_fadeStep;
    if (g_fadeOut) {
        if (g_fadeAlpha >= FADE_ALPHA_MAX) {
            g_fadeAlpha = FADE_ALPHA_MAX;
            g_fadeActive = false;
        }
    } else {
        if (g_fadeAlpha <= 0) {
            g_fadeAlpha = 0;
            g_fadeActive = false;
        }
    }
}

void DrawFade(void) {
    if (g_fadeAlpha <= 0) {
        return;
    }
    D3DCOLOR color = ((D3DCOLOR)(g_fadeAlpha & 0xFF) << 24) | ((D3DCOLOR)(g_fadeRed & 0xFF) << 16) |
                     ((D3DCOLOR)(g_fadeGreen & 0xFF) << 8) | (D3DCOLOR)(g_fadeBlue & 0xFF);
    DrawScreenFill(color);
}

// Starts a fade-out from clear or a fade-in from black. A step below 1 would
// never reach the end (the screen would stay black for good), so it is taken as 1.
void StartFade(bool fadeOut, int step) {
    if (step < 1) {
        step = 1;
    }
    g_fadeOut = fadeOut;
    g_fadeStep = step;
    g_fadeActive = true;
    if (fadeOut) {
        g_fadeAlpha = 0;
    } else {
        g_fadeAlpha = FADE_ALPHA_MAX;
        g_fadeStep = -step;
    }
}

bool IsFading(void) { return g_fadeActive; }

// Called every frame by a scene that may be left by a key: the key (newly
// pressed, and not during any fade) starts the fade-out; once it has ended the
// fade-in starts and the next scene is asked for.
void RequestSceneChange(int nextScene, int key, int step) {
    if (!g_fadeRequested) {
        if (g_fadeActive) {
            return;
        }
        if (GetKeyboardTrigger(key)) {
            StartFade(true, step);
            g_fadeRequested = true;
        }
        return;
    }
    if (g_fadeActive) {
        return;
    }
    StartFade(false, step);
    SetNextScene(nextScene);
    g_fadeRequested = false;
}

int GetFadeAlpha(void) { return g_fadeAlpha; }

bool IsSceneChangeRequested(void) { return g_fadeRequested; }
