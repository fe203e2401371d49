// HP gauge: the hooked fish's HP bar at the top-left of the screen.
#pragma once

void SetHpGaugeMax(float max);
void DrawHpGauge(float hp);
int GetHpGaugeLength(float hp);
