// The benchmark's keyboard: the game's keyboard module (device/keyboard.h)
// answered from keys the benchmark sets, instead of from DirectInput. Linked
// into bench_scenes in place of device/keyboard.cpp, so the same scripted
// frames run on Linux and on Windows (where nobody can press keys into a
// timed run) and both builds time the same work.
#pragma once

// Holds `key` (a DIK code) down or lets it go from the next UpdateKeyboard on.
void ScriptedKeyboard_Set(int key, bool down);
// Lets every key go.
void ScriptedKeyboard_ReleaseAll(void);
