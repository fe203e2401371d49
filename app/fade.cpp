// Placeholder so the tree links while this module is written; replaced by the real module.
#include "app/fade.h"
void InitFade(void) {  }
void UninitFade(void) {  }
void UpdateFade(void) {  }
void DrawFade(void) {  }
void StartFade(bool fadeOut, int step) {  }
bool IsFading(void) { return false; }
void RequestSceneChange(int nextScene, int key, int step) {  }
int GetFadeAlpha(void) { return 0; }
