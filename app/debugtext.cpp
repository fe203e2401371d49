// Debug text: short formatted lines drawn straight onto the back buffer with
// one D3DX font (the game draws the frame-rate line with it).
//
// State: the font (null until created and after release) and the 256-character
// text buffer that holds the last formatted line.
//
// Lifetime: InitDebugText after the renderer at start-up, UninitDebugText just
// before the renderer is released. Main thread only.
#include "app/debugtext.h"
#include "app/debugtext_testing.h"

#include <stdarg.h>
#include <stdio.h>

#include <d3dx9.h>

#include "app/main.h"
#include "app/renderer.h"

#define DEBUG_TEXT_MAX (256)
#define DEBUG_TEXT_COLOR (0xFF00FF00)

static LPD3DXFONT g_debugFont = NULL;
static char g_debugText[DEBUG_TEXT_MAX] = {0};

void InitDebugText(void) {
    HRESULT hr = D3DXCreateFontA(GetDevice(), 16, 0, FW_DONTCARE, 0, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "HGP創英角ﾎﾟｯﾌﾟ体", &g_debugFont);
    if (FAILED(hr)) {
        // Nothing is reported; the text is simply not drawn.
        g_debugFont = NULL;
    }
}

void UninitDebugText(void) {
    if (g_debugFont != NULL) {
        g_debugFont->Release();
        g_debugFont = NULL;
    }
}

// Formats the text (a longer result is cut at 255 characters) and draws it in
// green with its top-left corner at (x, y); nothing is drawn without a font.
void DrawDebugText(int x, int y, const char* format, ...) {
    RECT rect = {x, y, SCREEN_WIDTH, SCREEN_HEIGHT};

    va_list args;
    va_start(args, format);
    int written = vsnprintf(g_debugText, sizeof(g_debugText), format, args);
    va_end(args);
    if (written < 0) {
        g_debugText[0] = '\0';
    }

    if (g_debugFont == NULL) {
        return;
    }
    g_debugFont->DrawTextA(NULL, g_debugText, -1, &rect, DT_TOP | DT_LEFT, DEBUG_TEXT_COLOR);
}

const char* GetDebugText(void) { return g_debugText; }
