// MessageBoxA: a modal box of our own, an SDL window drawn with SDL_Renderer
// and SDL_ttf in a font that can show Japanese (found through fontconfig).
//
// State:
// - the font, opened the first time a box is shown and kept until the
//   program ends (or the note that no font could be found);
// - the test hook (answer and the recorded calls) and the "box shown"
//   callback, set and cleared by tests only.
// While a box is open it runs its own event loop: no game frame runs. The
// keyboard belongs to the box; the owner window is disabled for the box's
// lifetime (a click on its close box does nothing), close requests and focus
// changes of other windows are still turned into their messages, other input
// for them is dropped, as Windows does. When the box closes, the
// OpenGL context that was current before is made current again and the
// keyboard goes back to the owner window.
#include "common/winapi_internal.h"
#include "testing/win32_testing.h"
#include "win32/win32_internal.h"

#include <windows.h>

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <fontconfig/fontconfig.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace winapi {
namespace {

// ---- test hook ----
bool g_hookInstalled = false;
int g_hookAnswer = IDOK;
std::vector<WinapiMessageBoxRecord> g_hookRecords;
WinapiMessageBoxShownCallback g_shownCallback = nullptr;
void* g_shownUser = nullptr;

// ---- the font ----
const int kFontPixels = 18;

struct BoxFont {
    bool tried = false;
    TTF_Font* font = nullptr;
    bool japanese = false;
};
BoxFont g_font;

bool CharsetHasJapanese(FcPattern* match) {
    FcCharSet* set = nullptr;
    if (FcPatternGetCharSet(match, FC_CHARSET, 0, &set) != FcResultMatch || !set) return false;
    return FcCharSetHasChar(set, 0x3042) && FcCharSetHasChar(set, 0x30AD) && FcCharSetHasChar(set, 0x672C);
}

// Asks fontconfig for the best font of a pattern; opens it if it is good
// enough (Japanese glyphs required unless `anyFont`).
TTF_Font* OpenMatch(const char* pattern, bool anyFont, bool* japanese) {
    FcPattern* pat = FcNameParse((const FcChar8*)pattern);
    if (!pat) return nullptr;
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    FcPatternDestroy(pat);
    if (!match) return nullptr;
    TTF_Font* font = nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    bool hasJapanese = CharsetHasJapanese(match);
    if ((anyFont || hasJapanese) && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        font = TTF_OpenFontIndex((const char*)file, kFontPixels, index);
    }
    FcPatternDestroy(match);
    if (font) *japanese = hasJapanese;
    return font;
}

TTF_Font* BoxFontOrNull() {
    if (g_font.tried) return g_font.font;
    g_font.tried = true;
    // A reference of its own (SDL_ttf counts them), kept with the font: under
    // another user's reference, that user's last TTF_Quit would take the
    // library down and this font's face with it.
    if (TTF_Init() != 0) {
        fprintf(stderr, "%s: message box: cannot start SDL_ttf (%s)\n", ProgramName(), TTF_GetError());
        return nullptr;
    }
    if (!FcInit()) {
        fprintf(stderr, "%s: message box: cannot start fontconfig\n", ProgramName());
        return nullptr;
    }
    const char* japanesePatterns[] = {"IPAGothic", "IPAPGothic", "sans-serif:lang=ja", ":lang=ja"};
    for (const char* p : japanesePatterns) {
        g_font.font = OpenMatch(p, false, &g_font.japanese);
        if (g_font.font) return g_font.font;
    }
    g_font.font = OpenMatch("sans-serif", true, &g_font.japanese);
    if (!g_font.font)
        fprintf(stderr, "%s: message box: no usable font found through fontconfig\n", ProgramName());
    else
        fprintf(stderr, "%s: message box: no Japanese font installed; Japanese text will not show\n", ProgramName());
    return g_font.font;
}

// ---- text layout ----

// Splits at line feeds (dropping carriage returns) and wraps lines wider than
// `maxWidth` pixels, at a space where there is one, else between characters.
std::vector<std::string> WrapText(TTF_Font* font, const std::string& text, int maxWidth) {
    std::vector<std::string> lines;
    std::string current;
    auto width = [&](const std::string& s) {
        int w = 0, h = 0;
        if (s.empty() || TTF_SizeUTF8(font, s.c_str(), &w, &h) != 0) return 0;
        return w;
    };
    size_t i = 0;
    while (i <= text.size()) {
        if (i == text.size() || text[i] == '\n') {
            lines.push_back(current);
            current.clear();
            ++i;
            continue;
        }
        if (text[i] == '\r') {
            ++i;
            continue;
        }
        // One UTF-8 sequence.
        size_t len = 1;
        unsigned char c = (unsigned char)text[i];
        if (c >= 0xF0)
            len = 4;
        else if (c >= 0xE0)
            len = 3;
        else if (c >= 0xC0)
            len = 2;
        len = std::min(len, text.size() - i);
        std::string next = current + text.substr(i, len);
        if (!current.empty() && width(next) > maxWidth) {
            size_t space = current.find_last_of(' ');
            if (space != std::string::npos && space > 0) {
                lines.push_back(current.substr(0, space));
                current = current.substr(space + 1) + text.substr(i, len);
            } else {
                lines.push_back(current);
                current = text.substr(i, len);
            }
        } else {
            current = next;
        }
        i += len;
    }
    return lines;
}

// ---- the box ----

struct Button {
    int id;  // IDOK or IDCANCEL
    std::string label;
    SDL_Rect rect;
};

struct Box {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    TTF_Font* font = nullptr;
    uint32_t windowId = 0;
    int width = 0, height = 0;
    UINT icon = 0;
    SDL_Rect iconRect = {0, 0, 0, 0};
    int textX = 0, textY = 0, lineSkip = 0;
    std::vector<std::string> lines;
    std::vector<Button> buttons;
    int stripY = 0;
    int focus = 0;
    int hover = -1;
    int pressed = -1;
    int escapeAnswer = IDOK;
    std::vector<bool> held;  // keys already down when the box opened
};

const int kMargin = 22;
const int kIconSize = 32;
const int kIconGap = 14;
const int kStripHeight = 50;
const int kButtonW = 96, kButtonH = 28, kButtonGap = 10;
const int kMaxTextWidth = 640;

void Layout(Box& box, const std::string& text) {
    box.lineSkip = TTF_FontLineSkip(box.font);
    box.lines = WrapText(box.font, text, kMaxTextWidth);
    int textW = 0;
    for (const std::string& l : box.lines) {
        int w = 0, h = 0;
        if (!l.empty() && TTF_SizeUTF8(box.font, l.c_str(), &w, &h) == 0) textW = std::max(textW, w);
    }
    int textH = (int)box.lines.size() * box.lineSkip;
    int iconW = box.icon ? kIconSize + kIconGap : 0;
    int contentH = std::max(textH, box.icon ? kIconSize : 0);
    // Buttons share one width, wide enough for the longest label.
    int buttonW = kButtonW;
    for (const Button& b : box.buttons) {
        int w = 0, h = 0;
        if (TTF_SizeUTF8(box.font, b.label.c_str(), &w, &h) == 0) buttonW = std::max(buttonW, w + 28);
    }
    int buttonsW = (int)box.buttons.size() * buttonW + ((int)box.buttons.size() - 1) * kButtonGap;

    box.width = std::max({kMargin * 2 + iconW + textW, kMargin * 2 + buttonsW, 260});
    box.height = kMargin * 2 + contentH + kStripHeight;
    box.stripY = box.height - kStripHeight;
    box.iconRect = {kMargin, kMargin + (contentH - kIconSize) / 2, kIconSize, kIconSize};
    box.textX = kMargin + iconW;
    box.textY = kMargin + (contentH - textH) / 2;
    int x = box.width - kMargin / 2 - buttonsW;
    int y = box.stripY + (kStripHeight - kButtonH) / 2;
    for (Button& b : box.buttons) {
        b.rect = {x, y, buttonW, kButtonH};
        x += buttonW + kButtonGap;
    }
}

void DrawTextAt(SDL_Renderer* r, TTF_Font* font, const std::string& s, SDL_Color color, int x, int y, bool centred,
                const SDL_Rect* within) {
    if (s.empty()) return;
    SDL_Surface* surf = TTF_RenderUTF8_Blended(font, s.c_str(), color);
    if (!surf) return;
    SDL_Texture* tex = SDL_CreateTextureFromSurface(r, surf);
    SDL_Rect dst = {x, y, surf->w, surf->h};
    if (centred && within) {
        dst.x = within->x + (within->w - surf->w) / 2;
        dst.y = within->y + (within->h - surf->h) / 2;
    }
    SDL_FreeSurface(surf);
    if (!tex) return;
    SDL_RenderCopy(r, tex, nullptr, &dst);
    SDL_DestroyTexture(tex);
}

void FillPolygon(SDL_Renderer* r, const std::vector<SDL_FPoint>& pts, SDL_Color color) {
    if (pts.size() < 3) return;
    std::vector<SDL_Vertex> verts;
    for (size_t i = 1; i + 1 < pts.size(); ++i) {
        verts.push_back({pts[0], color, {0, 0}});
        verts.push_back({pts[i], color, {0, 0}});
        verts.push_back({pts[i + 1], color, {0, 0}});
    }
    SDL_RenderGeometry(r, nullptr, verts.data(), (int)verts.size(), nullptr, 0);
}

void FillCircle(SDL_Renderer* r, float cx, float cy, float radius, SDL_Color color) {
    std::vector<SDL_FPoint> pts;
    for (int i = 0; i < 40; ++i) {
        float a = (float)i * 6.2831853f / 40.0f;
        pts.push_back({cx + radius * SDL_cosf(a), cy + radius * SDL_sinf(a)});
    }
    FillPolygon(r, pts, color);
}

void DrawIcon(Box& box) {
    SDL_Renderer* r = box.renderer;
    const SDL_Rect& ir = box.iconRect;
    float cx = ir.x + ir.w / 2.0f, cy = ir.y + ir.h / 2.0f;
    const SDL_Color white = {255, 255, 255, 255}, black = {0, 0, 0, 255};
    switch (box.icon) {
    case MB_ICONERROR: {
        FillCircle(r, cx, cy, ir.w / 2.0f, {232, 17, 35, 255});
        // A white cross: two thin quads.
        float d = 7.0f, t = 1.6f;
        FillPolygon(
            r, {{cx - d - t, cy - d + t}, {cx - d + t, cy - d - t}, {cx + d + t, cy + d - t}, {cx + d - t, cy + d + t}},
            white);
        FillPolygon(
            r, {{cx + d - t, cy - d - t}, {cx + d + t, cy - d + t}, {cx - d + t, cy + d + t}, {cx - d - t, cy + d - t}},
            white);
        break;
    }
    case MB_ICONWARNING:
        FillPolygon(r,
                    {{cx, (float)ir.y + 1},
                     {(float)(ir.x + ir.w), (float)(ir.y + ir.h - 2)},
                     {(float)ir.x, (float)(ir.y + ir.h - 2)}},
                    {255, 185, 0, 255});
        DrawTextAt(r, box.font, "!", black, 0, 0, true, &ir);
        break;
    case MB_ICONQUESTION:
        FillCircle(r, cx, cy, ir.w / 2.0f, {0, 120, 215, 255});
        DrawTextAt(r, box.font, "?", white, 0, 0, true, &ir);
        break;
    case MB_ICONINFORMATION:
        FillCircle(r, cx, cy, ir.w / 2.0f, {0, 120, 215, 255});
        DrawTextAt(r, box.font, "i", white, 0, 0, true, &ir);
        break;
    default: break;
    }
}

void Draw(Box& box) {
    SDL_Renderer* r = box.renderer;
    SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(r, 255, 255, 255, 255);
    SDL_RenderClear(r);
    if (box.icon) DrawIcon(box);
    const SDL_Color black = {0, 0, 0, 255};
    for (size_t i = 0; i < box.lines.size(); ++i)
        DrawTextAt(r, box.font, box.lines[i], black, box.textX, box.textY + (int)i * box.lineSkip, false, nullptr);

    SDL_Rect strip = {0, box.stripY, box.width, kStripHeight};
    SDL_SetRenderDrawColor(r, 240, 240, 240, 255);
    SDL_RenderFillRect(r, &strip);

    for (int i = 0; i < (int)box.buttons.size(); ++i) {
        const Button& b = box.buttons[i];
        bool focused = i == box.focus, hovered = i == box.hover, pressed = i == box.pressed && hovered;
        SDL_Color fill = pressed                ? SDL_Color{204, 228, 247, 255}
                         : (focused || hovered) ? SDL_Color{229, 241, 251, 255}
                                                : SDL_Color{225, 225, 225, 255};
        SDL_Color border = (focused || hovered) ? SDL_Color{0, 120, 215, 255} : SDL_Color{173, 173, 173, 255};
        SDL_SetRenderDrawColor(r, fill.r, fill.g, fill.b, 255);
        SDL_RenderFillRect(r, &b.rect);
        SDL_SetRenderDrawColor(r, border.r, border.g, border.b, 255);
        SDL_RenderDrawRect(r, &b.rect);
        if (focused) {
            // The focused (default) button: a double blue border and a dotted focus frame.
            SDL_Rect inner = {b.rect.x + 1, b.rect.y + 1, b.rect.w - 2, b.rect.h - 2};
            SDL_RenderDrawRect(r, &inner);
            SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
            for (int x = b.rect.x + 4; x < b.rect.x + b.rect.w - 4; x += 2) {
                SDL_RenderDrawPoint(r, x, b.rect.y + 4);
                SDL_RenderDrawPoint(r, x, b.rect.y + b.rect.h - 5);
            }
            for (int y = b.rect.y + 4; y < b.rect.y + b.rect.h - 4; y += 2) {
                SDL_RenderDrawPoint(r, b.rect.x + 4, y);
                SDL_RenderDrawPoint(r, b.rect.x + b.rect.w - 5, y);
            }
        }
        DrawTextAt(r, box.font, b.label, black, 0, 0, true, &b.rect);
    }
    // An outline of its own: without a window manager the box has no frame
    // and would melt into a light window behind it.
    SDL_Rect outline = {0, 0, box.width, box.height};
    SDL_SetRenderDrawColor(r, 112, 112, 112, 255);
    SDL_RenderDrawRect(r, &outline);
    SDL_RenderPresent(r);
}

int HitButton(const Box& box, int x, int y) {
    SDL_Point p = {x, y};
    for (int i = 0; i < (int)box.buttons.size(); ++i)
        if (SDL_PointInRect(&p, &box.buttons[i].rect)) return i;
    return -1;
}

// Handles one event while the box is open; returns the answer once there is one.
int HandleEvent(Box& box, const SDL_Event& e, bool& dirty, std::vector<PendingSend>& sends) {
    const int n = (int)box.buttons.size();
    switch (e.type) {
    case SDL_KEYDOWN: {
        int sc = e.key.keysym.scancode;
        // A key that was already down as the box opened (the Escape that
        // asked to quit, say) does not answer it by repeating.
        if (e.key.repeat) return 0;
        if (sc >= 0 && sc < (int)box.held.size() && box.held[sc]) return 0;
        switch (sc) {
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_KP_ENTER:
        case SDL_SCANCODE_SPACE: return box.buttons[box.focus].id;
        case SDL_SCANCODE_ESCAPE: return box.escapeAnswer;
        case SDL_SCANCODE_LEFT:
        case SDL_SCANCODE_UP:
            box.focus = (box.focus + n - 1) % n;
            dirty = true;
            return 0;
        case SDL_SCANCODE_RIGHT:
        case SDL_SCANCODE_DOWN:
            box.focus = (box.focus + 1) % n;
            dirty = true;
            return 0;
        case SDL_SCANCODE_TAB:
            box.focus = (e.key.keysym.mod & KMOD_SHIFT) ? (box.focus + n - 1) % n : (box.focus + 1) % n;
            dirty = true;
            return 0;
        default: return 0;
        }
    }
    case SDL_KEYUP: {
        int sc = e.key.keysym.scancode;
        if (sc >= 0 && sc < (int)box.held.size()) box.held[sc] = false;
        return 0;
    }
    case SDL_MOUSEMOTION:
        if (e.motion.windowID == box.windowId) {
            int hover = HitButton(box, e.motion.x, e.motion.y);
            if (hover != box.hover) {
                box.hover = hover;
                dirty = true;
            }
        }
        return 0;
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.windowID == box.windowId && e.button.button == SDL_BUTTON_LEFT) {
            box.pressed = HitButton(box, e.button.x, e.button.y);
            box.hover = box.pressed;
            if (box.pressed >= 0) box.focus = box.pressed;
            dirty = true;
        }
        return 0;
    case SDL_MOUSEBUTTONUP:
        if (e.button.windowID == box.windowId && e.button.button == SDL_BUTTON_LEFT) {
            int hit = HitButton(box, e.button.x, e.button.y);
            int pressed = box.pressed;
            box.pressed = -1;
            dirty = true;
            if (pressed >= 0 && hit == pressed) return box.buttons[hit].id;
        }
        return 0;
    case SDL_WINDOWEVENT:
        if (e.window.windowID == box.windowId) {
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) return box.escapeAnswer;  // the close box
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SHOWN ||
                e.window.event == SDL_WINDOWEVENT_RESTORED)
                dirty = true;
            return 0;
        }
        TranslateSdlEvent(e, true, sends);
        return 0;
    default: TranslateSdlEvent(e, true, sends); return 0;
    }
}

int AnswerWithoutWindow(LPCSTR text, LPCSTR caption, UINT type, bool hasCancel) {
    fprintf(stderr, "%s: [%s] %s\n", ProgramName(), caption, text);
    (void)type;
    return hasCancel ? IDCANCEL : IDOK;
}

SDL_Window* LiveSdlWindow(SDL_Window* candidate) {
    if (!candidate) return nullptr;
    for (HWND h : LiveWindows()) {
        WindowRecord* rec = FindWindowRecord(h);
        if (rec && rec->sdl == candidate) return candidate;
    }
    return nullptr;
}

}  // namespace
}  // namespace winapi

extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    using namespace winapi;
    const char* text = lpText ? lpText : "";
    const char* caption = lpCaption ? lpCaption : "Error";  // the caption Windows uses when none is given
    if (g_hookInstalled) {
        g_hookRecords.push_back({text, caption, uType});
        return g_hookAnswer;
    }
    // Only OK and OK/Cancel boxes exist here; other button sets get OK.
    const bool hasCancel = (uType & MB_TYPEMASK) == MB_OKCANCEL;
    if (!EnsureVideo() || VideoIsHeadless()) return AnswerWithoutWindow(text, caption, uType, hasCancel);
    TTF_Font* font = BoxFontOrNull();
    if (!font) return AnswerWithoutWindow(text, caption, uType, hasCancel);

    SDL_Window* glWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext glContext = SDL_GL_GetCurrentContext();
    SDL_Window* ownerSdl = SdlWindowFromHwnd(hWnd);
    SDL_Window* previousFocus = SDL_GetKeyboardFocus();

    Box box;
    box.font = font;
    UINT icon = uType & MB_ICONMASK;
    box.icon = (icon == MB_ICONERROR || icon == MB_ICONQUESTION || icon == MB_ICONWARNING || icon == MB_ICONINFORMATION)
                   ? icon
                   : 0;
    box.buttons.push_back({IDOK, "OK", {0, 0, 0, 0}});
    if (hasCancel) box.buttons.push_back({IDCANCEL, g_font.japanese ? "キャンセル" : "Cancel", {0, 0, 0, 0}});
    box.focus = (hasCancel && (uType & MB_DEFMASK) == MB_DEFBUTTON2) ? 1 : 0;
    box.escapeAnswer = hasCancel ? IDCANCEL : IDOK;
    Layout(box, text);

    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    if (ownerSdl && (SDL_GetWindowFlags(ownerSdl) & SDL_WINDOW_SHOWN)) {
        int ox, oy, ow, oh;
        SDL_GetWindowPosition(ownerSdl, &ox, &oy);
        SDL_GetWindowSize(ownerSdl, &ow, &oh);
        x = std::max(0, ox + (ow - box.width) / 2);
        y = std::max(0, oy + (oh - box.height) / 2);
    }
    box.window = SDL_CreateWindow(caption, x, y, box.width, box.height, SDL_WINDOW_HIDDEN);
    if (box.window) box.renderer = SDL_CreateRenderer(box.window, -1, SDL_RENDERER_SOFTWARE);
    if (!box.window || !box.renderer) {
        fprintf(stderr, "%s: message box: cannot open its window (%s)\n", ProgramName(), SDL_GetError());
        if (box.window) SDL_DestroyWindow(box.window);
        if (glContext) SDL_GL_MakeCurrent(glWindow, glContext);
        return AnswerWithoutWindow(text, caption, uType, hasCancel);
    }
    box.windowId = SDL_GetWindowID(box.window);
    SetUtf8WindowName(box.window, caption);
    if (ownerSdl) SDL_SetWindowModalFor(box.window, ownerSdl);
    WindowRecord* ownerRecord = ownerSdl ? FindWindowRecord(hWnd) : nullptr;
    const bool ownerWasDisabled = ownerRecord && ownerRecord->disabled;
    if (ownerRecord) ownerRecord->disabled = true;

    int numKeys = 0;
    const Uint8* keys = SDL_GetKeyboardState(&numKeys);
    box.held.assign((size_t)numKeys, false);
    for (int i = 0; i < numKeys; ++i) box.held[i] = keys[i] != 0;

    SDL_ShowWindow(box.window);
    SDL_RaiseWindow(box.window);
    SDL_SetWindowInputFocus(box.window);
    Draw(box);

    if (g_shownCallback) {
        WinapiMessageBoxWindow info;
        info.windowId = box.windowId;
        info.width = box.width;
        info.height = box.height;
        info.focusedButton = box.buttons[box.focus].id;
        auto toRect = [](const SDL_Rect& r) { return RECT{r.x, r.y, r.x + r.w, r.y + r.h}; };
        info.okButton = toRect(box.buttons[0].rect);
        info.cancelButton = hasCancel ? toRect(box.buttons[1].rect) : RECT{0, 0, 0, 0};
        g_shownCallback(info, g_shownUser);
    }

    int answer = 0;
    bool dirty = false;
    while (!answer) {
        if (dirty) {
            Draw(box);
            dirty = false;
        }
        SDL_Event e;
        if (!SDL_WaitEventTimeout(&e, 100)) continue;
        std::vector<PendingSend> sends;
        do {
            OfferEventToListeners(e);
            answer = HandleEvent(box, e, dirty, sends);
        } while (!answer && SDL_PollEvent(&e));
        DeliverSends(sends);
    }

    // The owner may have been destroyed by a message the box's loop delivered.
    ownerRecord = ownerSdl ? FindWindowRecord(hWnd) : nullptr;
    if (ownerRecord) ownerRecord->disabled = ownerWasDisabled;
    SDL_DestroyRenderer(box.renderer);
    SDL_DestroyWindow(box.window);
    if (glContext && glWindow) SDL_GL_MakeCurrent(glWindow, glContext);
    SDL_Window* back = ownerSdl ? ownerSdl : LiveSdlWindow(previousFocus);
    if (back) {
        SDL_RaiseWindow(back);
        SDL_SetWindowInputFocus(back);
    }
    return answer;
}

void WinapiTest_InstallMessageBoxHook(int answer) {
    winapi::g_hookInstalled = true;
    winapi::g_hookAnswer = answer;
}

void WinapiTest_RemoveMessageBoxHook() { winapi::g_hookInstalled = false; }

const std::vector<WinapiMessageBoxRecord>& WinapiTest_MessageBoxes() { return winapi::g_hookRecords; }

void WinapiTest_ClearMessageBoxes() { winapi::g_hookRecords.clear(); }

void WinapiTest_SetMessageBoxShownCallback(WinapiMessageBoxShownCallback callback, void* user) {
    winapi::g_shownCallback = callback;
    winapi::g_shownUser = user;
}
