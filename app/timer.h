// Frame timer: seconds since the clock was started, from the performance counter.
#pragma once

void InitTimer(void);
void StartTimer(void);
void StopTimer(void);
void ResetTimer(void);
void StepTimer(void);
double GetTimerSeconds(void);
float GetTimerElapsed(void);
double GetCounterSeconds(void);
bool IsTimerStopped(void);
void PinThreadToFirstProcessor(void);
