// Game stage two: one fishing attempt against the kind of fish met.
#pragma once

void InitGame2(void);
void UninitGame2(void);
void UpdateGame2(void);
void DrawGame2(void);
