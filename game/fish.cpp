// Placeholder so the tree links while this module is written; replaced by the real module.
#include "game/fish.h"
void InitFishGame1(void) {  }
void UpdateFishGame1(void) {  }
void DrawFishGame1(void) {  }
void InitFishGame2(void) {  }
void UpdateFishGame2(void) {  }
void DrawFishGame2(void) {  }
BoundingSphere* GetFishSphere(int i) { return nullptr; }
FISH* GetFish(void) { return nullptr; }
int GetCatchScore(void) { return 0; }
void ResetCatchScore(void) {  }
int GetFishHp(int kind) { return 0; }
int GetAnimCounter(void) { return 0; }
int GetAnimFrame(void) { return 0; }
float GetSwimOffset(void) { return 0; }
bool GetSwimBack(void) { return false; }
float GetSwimRotY(void) { return 0; }
int GetFishModel(int kind, int animFrame) { return 0; }
