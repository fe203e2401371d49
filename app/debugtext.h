// Debug text: short formatted lines drawn straight onto the back buffer.
#pragma once

void InitDebugText(void);
void UninitDebugText(void);
void DrawDebugText(int x, int y, const char* format, ...);
