// The scenery both game stages stand in: the ground, the mountain ring, the
// sky dome and every model.
#pragma once

// Builds the ground, ring and dome meshes and loads every model.
void InitStageScenery(void);
// Releases what InitStageScenery made.
void UninitStageScenery(void);
// Draws the ground, the mountain ring and the sky dome.
void DrawStageScenery(void);
