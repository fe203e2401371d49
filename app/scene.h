// Scene manager: which of the four scenes is current, and the deferred switch.
#pragma once

enum { SCENE_TITLE = 0, SCENE_GAME1 = 1, SCENE_GAME2 = 2, SCENE_RESULT = 3, SCENE_MAX = 4 };

void SetScene(int scene);
void SetNextScene(int scene);
void ChangeScene(void);
void UninitScene(void);
void UpdateScene(void);
void DrawScene(void);
