// Placeholder so the tree links while this module is written; replaced by the real module.
#include "app/timer.h"
void InitTimer(void) {  }
void StartTimer(void) {  }
void StopTimer(void) {  }
void ResetTimer(void) {  }
void StepTimer(void) {  }
double GetTimerSeconds(void) { return 0; }
float GetTimerElapsed(void) { return 0; }
double GetCounterSeconds(void) { return 0; }
bool IsTimerStopped(void) { return false; }
void PinThreadToFirstProcessor(void) {  }
