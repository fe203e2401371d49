// HP gauge: the hooked fish's HP bar at the top-left corner of stage two.
//
// State: the gauge maximum, set when stage two places its fish; the bar is
// full (1000 pixels) at that HP.
#include "game/hpgauge.h"
#include "game/hpgauge_testing.h"

#include "ui2d/sprite.h"
#include "ui2d/texture.h"

namespace {

const int GAUGE_WIDTH = 1000;
const int GAUGE_HEIGHT = 50;

int g_hpGaugeMax;

}  // namespace

void SetHpGaugeMax(float max) { g_hpGaugeMax = (int)max; }

int GetHpGaugeMax(void) { return g_hpGaugeMax; }

// hp / max of 1000 pixels, truncated; never below 0 nor past the full bar.
int GetHpGaugeLength(float hp) {
    if (g_hpGaugeMax <= 0) return 0;
    int length = (int)(hp / (float)g_hpGaugeMax * (float)GAUGE_WIDTH);
    if (length < 0) length = 0;
    if (length > GAUGE_WIDTH) length = GAUGE_WIDTH;
    return length;
}

void DrawHpGauge(float hp) {
    DrawSprite(TEXTURE_HPBACK, 0.0f, 0.0f);
    DrawSpriteCut(TEXTURE_HPBAR, 0.0f, 0.0f, 0, 0, GetHpGaugeLength(hp), GAUGE_HEIGHT);
}
