// The program's entry: makes the game window, brings the game up, runs the
// message loop and shuts the game down. Kept apart from app/main.cpp so that
// other programs built from the game's modules (tools/scenes) bring their own.
//
// State: none of its own; the window and the modules live for the whole run.
#include "app/main.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    RegisterGameWindowClass(hInstance);
    HWND hWnd = CreateGameWindow(hInstance);
    if (hWnd == NULL) {
        return -1;
    }
    ShowWindow(hWnd, nCmdShow);

    if (!Init(hInstance, hWnd)) {
        return -1;
    }
    int exitCode = RunMessageLoop();
    Uninit();
    return exitCode;
}
