// Placeholder so the tree links while this module is written; replaced by the real module.
#include "app/scene.h"
void SetScene(int scene) {  }
void SetNextScene(int scene) {  }
void ChangeScene(void) {  }
void UninitScene(void) {  }
void UpdateScene(void) {  }
void DrawScene(void) {  }
int GetScene(void) { return 0; }
int GetNextScene(void) { return 0; }
