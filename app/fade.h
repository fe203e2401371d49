// Fade and scene transition: a full-screen black rectangle whose alpha runs
// 0..255, and the key-driven scene-change request built on it.
#pragma once

void InitFade(void);
void UninitFade(void);
void UpdateFade(void);
void DrawFade(void);
void StartFade(bool fadeOut, int step);
bool IsFading(void);
void RequestSceneChange(int nextScene, int key, int step);
// True while a scene-change request waits for its fade-out to end.
bool IsSceneChangeRequested(void);
