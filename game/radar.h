// Radar map: stage one's top-right view of the whole water with the fish and the boat.
#pragma once

#include <d3dx9.h>

void InitRadar(void);
void UninitRadar(void);
void UpdateRadar(void);
void DrawRadar(void);
