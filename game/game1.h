// Game stage one: the boat roams the water among the thirteen fish.
#pragma once

void InitGame1(void);
void UninitGame1(void);
void UpdateGame1(void);
void DrawGame1(void);
