// D3DXCreateFontA and ID3DXFont::DrawTextA over SDL_ttf and fontconfig.
//
// State: each font object owns one reference on its device, one open
// TTF_Font, and a cache of rendered lines: every distinct line of text that
// was drawn keeps a white, alpha-coverage texture of itself, so drawing the
// same text again (the frame-rate line is redrawn every frame, and changes
// once a second) only issues a quad. The cache is least-recently-used and
// bounded in entries and texels. Everything is released with the font's last
// Release. TTF_Init/TTF_Quit are paired per font, so the SDL_ttf library
// stays up exactly while some font (or another user of SDL_ttf) lives.
//
// Text is drawn as pretransformed, alpha-blended quads whose colour is the
// requested colour modulated by the line's coverage. The device states the
// draw needs are set per call and restored afterwards, so the caller's later
// draws see the states they had before.
#include <d3dx9.h>

#include "common/com_object.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

#ifndef FW_SEMIBOLD
#define FW_SEMIBOLD 600
#endif
#ifndef NONANTIALIASED_QUALITY
#define NONANTIALIASED_QUALITY 3
#endif

// A height of 0 asks for the default size: a 16-pixel cell.
const int kDefaultCellHeight = 16;
const int kMaxHeight = 2048;
// Bounds of the rendered-line cache of one font.
const size_t kMaxCachedLines = 256;
const size_t kMaxCachedTexels = 4u * 1024u * 1024u;

const DWORD kTextFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
struct TextVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

bool IsValidUtf8(const unsigned char* s, size_t n) {
    size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        unsigned cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else
            return false;
        if (i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

// Text arrives as UTF-8 or as bytes of the font's ANSI code page (Shift-JIS
// for SHIFTJIS_CHARSET, Windows-1252 otherwise); the result is UTF-8.
void ToUtf8(const char* s, size_t n, DWORD charset, std::string* out) {
    if (IsValidUtf8(reinterpret_cast<const unsigned char*>(s), n)) {
        out->assign(s, n);
        return;
    }
    const char* from = (charset == SHIFTJIS_CHARSET) ? "CP932" : "WINDOWS-1252";
    const std::string bytes(s, n);  // terminated, whether or not the caller's text is
    char* conv = SDL_iconv_string("UTF-8", from, bytes.c_str(), n + 1);
    if (conv && IsValidUtf8(reinterpret_cast<const unsigned char*>(conv), strlen(conv))) {
        out->assign(conv);
        SDL_free(conv);
        return;
    }
    if (conv) SDL_free(conv);
    out->clear();
    for (size_t i = 0; i < n; ++i) out->push_back((static_cast<unsigned char>(s[i]) < 0x80) ? s[i] : '?');
}

// ---- choosing a font file through fontconfig ----

struct FaceCandidate {
    std::string file;
    int index;
};

bool UsableOutlineFont(FcPattern* font) {
    FcChar8* file = NULL;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file) return false;
    FcBool scalable = FcFalse;
    if (FcPatternGetBool(font, FC_SCALABLE, 0, &scalable) == FcResultMatch && !scalable) return false;
    FcChar8* format = NULL;
    if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) == FcResultMatch && format) {
        const char* f = reinterpret_cast<const char*>(format);
        if (strcmp(f, "TrueType") != 0 && strcmp(f, "CFF") != 0) return false;
    }
    return true;
}

bool HasFamily(FcPattern* font, const char* family) {
    FcChar8* name = NULL;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family)) == 0) return true;
    }
    return false;
}

bool ShowsJapanese(FcPattern* font) {
    FcLangSet* langs = NULL;
    if (FcPatternGetLangSet(font, FC_LANG, 0, &langs) != FcResultMatch || !langs) return false;
    return FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) != FcLangDifferentLang;
}

void AddCandidate(FcPattern* font, std::vector<FaceCandidate>* out) {
    FcChar8* file = NULL;
    FcPatternGetString(font, FC_FILE, 0, &file);
    int index = 0;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    for (const FaceCandidate& c : *out)
        if (c.file == reinterpret_cast<const char*>(file) && c.index == index) return;
    out->push_back(FaceCandidate{reinterpret_cast<const char*>(file), index});
}

// Font files to try, best first: the named family itself; when it is missing,
// a face that shows Japanese for a Shift-JIS font; then fontconfig's nearest
// sans-serif substitutes.
std::vector<FaceCandidate> FindFaces(const std::string& family, DWORD charset) {
    std::vector<FaceCandidate> out;
    if (!FcInit()) return out;
    const bool wantJapanese = (charset == SHIFTJIS_CHARSET);

    FcPattern* pat = FcPatternCreate();
    if (!pat) return out;
    FcPatternAddString(pat, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(family.empty() ? "sans-serif" : family.c_str()));
    if (!family.empty()) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    if (wantJapanese) FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcConfigSubstitute(NULL, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(NULL, pat, FcFalse, NULL, &result);
    if (set) {
        std::vector<FcPattern*> fonts(set->fonts, set->fonts + set->nfont);
        if (!family.empty())
            for (FcPattern* f : fonts)
                if (UsableOutlineFont(f) && HasFamily(f, family.c_str())) AddCandidate(f, &out);
        if (wantJapanese)
            for (FcPattern* f : fonts)
                if (UsableOutlineFont(f) && ShowsJapanese(f)) AddCandidate(f, &out);
        for (FcPattern* f : fonts)
            if (UsableOutlineFont(f)) AddCandidate(f, &out);
        FcFontSetDestroy(set);
    }
    FcPatternDestroy(pat);
    return out;
}

int CellHeight(TTF_Font* f) { return TTF_FontAscent(f) - TTF_FontDescent(f); }

// Sizes the font so that its cell height (ascent + descent) is `cell` pixels,
// or as close below it as the face allows.
void FitCellHeight(TTF_Font* f, int cell) {
    int base = cell;
    TTF_SetFontSize(f, base);
    const int measured = CellHeight(f);
    int guess = measured > 0 ? static_cast<int>(lround(static_cast<double>(cell) * base / measured)) : cell;
    if (guess < 1) guess = 1;
    int best = -1;
    for (int size = guess + 2; size >= 1 && size >= guess - 6; --size) {
        TTF_SetFontSize(f, size);
        if (CellHeight(f) <= cell) {
            best = size;
            break;
        }
    }
    TTF_SetFontSize(f, best > 0 ? best : 1);
}

// ---- the font object ----

class Font : public winapi::ComObject<ID3DXFont> {
public:
    Font(IDirect3DDevice9* device, TTF_Font* ttf, DWORD charset, bool antialiased, float scaleX)
        : device_(device), ttf_(ttf), charset_(charset), antialiased_(antialiased), scaleX_(scaleX) {
        device_->AddRef();
        lineHeight_ = CellHeight(ttf_);
        if (lineHeight_ <= 0) lineHeight_ = TTF_FontHeight(ttf_);
        lines_.reserve(16);
        text_.reserve(256);
        key_.reserve(256);
    }

    ~Font() override {
        for (Entry& e : lru_)
            if (e.texture) e.texture->Release();
        lru_.clear();
        index_.clear();
        TTF_CloseFont(ttf_);
        TTF_Quit();
        device_->Release();
    }

    INT STDMETHODCALLTYPE DrawTextA(LPD3DXSPRITE pSprite, LPCSTR pString, INT Count, LPRECT pRect, DWORD Format,
                                    D3DCOLOR Color) override;

    int LineHeight() const { return lineHeight_; }

private:
    struct Entry {
        std::string text;
        int width = 0;  // drawn width in pixels, horizontal scaling included
        int texW = 0, texH = 0;
        IDirect3DTexture9* texture = NULL;  // made on first draw
        bool renderFailed = false;
    };
    struct Line {
        size_t begin, length;
    };

    Entry* Lookup(const char* s, size_t n);
    int MeasureRaw(const char* s, size_t n);
    void SplitLines(DWORD format, int wrapWidth);
    void WrapLine(size_t begin, size_t length, int wrapWidth);
    bool Rasterize(Entry* e);
    void Evict();
    void DrawLine(Entry* e, int x, int y, const RECT* clip, D3DCOLOR color);

    ULONG refs_ = 1;
    IDirect3DDevice9* device_;
    TTF_Font* ttf_;
    DWORD charset_;
    bool antialiased_;
    float scaleX_;
    int lineHeight_ = 0;

    std::list<Entry> lru_;  // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
    size_t cachedTexels_ = 0;

    // Scratch reused by every call, so that a call with text seen before allocates nothing.
    std::string text_;
    std::string key_;
    std::string measure_;
    std::vector<Line> lines_;
};

// Width in pixels of the UTF-8 bytes s[0..n), without caching.
int Font::MeasureRaw(const char* s, size_t n) {
    if (n == 0) return 0;
    measure_.assign(s, n);
    int w = 0, h = 0;
    if (TTF_SizeUTF8(ttf_, measure_.c_str(), &w, &h) != 0) return 0;
    return static_cast<int>(lround(w * scaleX_));
}

// The cache entry of one line, measured; moved to the front of the LRU.
Font::Entry* Font::Lookup(const char* s, size_t n) {
    key_.assign(s, n);
    auto it = index_.find(key_);
    if (it != index_.end()) {
        lru_.splice(lru_.begin(), lru_, it->second);
        return &*it->second;
    }
    lru_.emplace_front();
    Entry& e = lru_.front();
    e.text = key_;
    e.width = MeasureRaw(s, n);
    index_.emplace(e.text, lru_.begin());
    Evict();
    return &lru_.front();
}

// Drops the least recently used lines while the cache is over its bounds.
void Font::Evict() {
    while (lru_.size() > 1 && (lru_.size() > kMaxCachedLines || cachedTexels_ > kMaxCachedTexels)) {
        Entry& e = lru_.back();
        if (e.texture) {
            e.texture->Release();
            cachedTexels_ -= static_cast<size_t>(e.texW) * e.texH;
        }
        index_.erase(e.text);
        lru_.pop_back();
    }
}

// Cuts text_ into lines: at line feeds (CR, LF or CR LF) unless DT_SINGLELINE,
// and at word boundaries past wrapWidth pixels with DT_WORDBREAK.
void Font::SplitLines(DWORD format, int wrapWidth) {
    lines_.clear();
    const size_t n = text_.size();
    if (format & DT_SINGLELINE) {
        // Line feeds do not break a single line; they draw as nothing.
        size_t w = 0;
        for (size_t i = 0; i < n; ++i)
            if (text_[i] != '\r' && text_[i] != '\n') text_[w++] = text_[i];
        text_.resize(w);
        if (!text_.empty()) lines_.push_back(Line{0, text_.size()});
        return;
    }
    if (n == 0) return;  // no text, no line
    size_t start = 0;
    for (size_t i = 0; i <= n; ++i) {
        if (i == n || text_[i] == '\n' || text_[i] == '\r') {
            if ((format & DT_WORDBREAK) && wrapWidth > 0)
                WrapLine(start, i - start, wrapWidth);
            else
                lines_.push_back(Line{start, i - start});
            if (i < n && text_[i] == '\r' && i + 1 < n && text_[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    // A text ending in a line feed has no empty last line.
    if (!lines_.empty() && lines_.back().length == 0 && n > 0 && (text_[n - 1] == '\n' || text_[n - 1] == '\r'))
        lines_.pop_back();
}

// Greedy word wrap of one line: breaks after the last space that keeps the
// line within wrapWidth; a word wider than the whole width is broken between
// characters.
void Font::WrapLine(size_t begin, size_t length, int wrapWidth) {
    const char* s = text_.data();
    size_t pos = begin;
    const size_t end = begin + length;
    if (length == 0) {
        lines_.push_back(Line{begin, 0});
        return;
    }
    while (pos < end) {
        size_t lineEnd = pos;  // end of the last piece that fits
        size_t scan = pos;
        while (scan < end) {
            size_t wordEnd = scan;
            while (wordEnd < end && s[wordEnd] == ' ') ++wordEnd;
            while (wordEnd < end && s[wordEnd] != ' ') ++wordEnd;
            if (MeasureRaw(s + pos, wordEnd - pos) <= wrapWidth) {
                lineEnd = wordEnd;
                scan = wordEnd;
            } else {
                break;
            }
        }
        if (lineEnd == pos) {
            // Not even one word fits: take as many characters as fit, at least one.
            size_t cut = pos;
            size_t next = pos;
            while (next < end) {
                size_t ch = next + 1;
                while (ch < end && (static_cast<unsigned char>(s[ch]) & 0xC0) == 0x80) ++ch;
                if (cut > pos && MeasureRaw(s + pos, ch - pos) > wrapWidth) break;
                cut = ch;
                next = ch;
            }
            lineEnd = cut;
        }
        size_t trimmed = lineEnd;
        while (trimmed > pos && s[trimmed - 1] == ' ') --trimmed;
        lines_.push_back(Line{pos, trimmed - pos});
        pos = lineEnd;
        while (pos < end && s[pos] == ' ') ++pos;
    }
}

// Renders the entry's text in white into a texture whose alpha is the coverage.
bool Font::Rasterize(Entry* e) {
    if (e->texture) return true;
    if (e->renderFailed || e->text.empty()) return false;
    e->renderFailed = true;
    const SDL_Color white = {255, 255, 255, 255};
    SDL_Surface* surf = TTF_RenderUTF8_Blended(ttf_, e->text.c_str(), white);
    if (!surf) return false;
    SDL_Surface* argb = surf;
    if (surf->format->format != SDL_PIXELFORMAT_ARGB8888) {
        argb = SDL_ConvertSurfaceFormat(surf, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(surf);
        if (!argb) return false;
    }
    IDirect3DTexture9* tex = NULL;
    bool ok = argb->w > 0 && argb->h > 0 &&
              SUCCEEDED(device_->CreateTexture(static_cast<UINT>(argb->w), static_cast<UINT>(argb->h), 1, 0,
                                               D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, NULL)) &&
              tex;
    if (ok) {
        D3DLOCKED_RECT lr;
        ok = SUCCEEDED(tex->LockRect(0, &lr, NULL, 0)) && lr.pBits;
        if (ok) {
            SDL_LockSurface(argb);
            for (int y = 0; y < argb->h; ++y) {
                const Uint32* src = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(argb->pixels) +
                                                                    static_cast<size_t>(y) * argb->pitch);
                Uint8* dst = static_cast<Uint8*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch;
                for (int x = 0; x < argb->w; ++x) {
                    Uint8 a = static_cast<Uint8>(src[x] >> 24);
                    if (!antialiased_) a = (a >= 128) ? 255 : 0;
                    dst[4 * x + 0] = 255;
                    dst[4 * x + 1] = 255;
                    dst[4 * x + 2] = 255;
                    dst[4 * x + 3] = a;
                }
            }
            SDL_UnlockSurface(argb);
            tex->UnlockRect(0);
        }
    }
    if (!ok) {
        if (tex) tex->Release();
        SDL_FreeSurface(argb);
        return false;
    }
    e->texture = tex;
    e->texW = argb->w;
    e->texH = argb->h;
    e->renderFailed = false;
    cachedTexels_ += static_cast<size_t>(argb->w) * argb->h;
    SDL_FreeSurface(argb);
    return true;
}

// One line's quad with its top-left pixel at (x, y), cut to `clip` when given.
void Font::DrawLine(Entry* e, int x, int y, const RECT* clip, D3DCOLOR color) {
    if (!Rasterize(e)) return;
    float x0 = static_cast<float>(x), y0 = static_cast<float>(y);
    float x1 = x0 + e->texW * scaleX_, y1 = y0 + e->texH;
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    if (clip) {
        const float cl = static_cast<float>(clip->left), ct = static_cast<float>(clip->top);
        const float cr = static_cast<float>(clip->right), cb = static_cast<float>(clip->bottom);
        if (x1 <= cl || x0 >= cr || y1 <= ct || y0 >= cb) return;
        const float w = x1 - x0, h = y1 - y0;
        if (x0 < cl) {
            u0 = (cl - x0) / w;
            x0 = cl;
        }
        if (x1 > cr) {
            u1 = (cr - (x1 - w)) / w;
            x1 = cr;
        }
        if (y0 < ct) {
            v0 = (ct - y0) / h;
            y0 = ct;
        }
        if (y1 > cb) {
            v1 = (cb - (y1 - h)) / h;
            y1 = cb;
        }
    }
    // Direct3D samples pixel centres at integer coordinates: shifting the
    // corners by half a pixel puts texel i exactly on pixel x + i.
    const TextVertex quad[4] = {
        {x0 - 0.5f, y0 - 0.5f, 0.0f, 1.0f, color, u0, v0},
        {x1 - 0.5f, y0 - 0.5f, 0.0f, 1.0f, color, u1, v0},
        {x0 - 0.5f, y1 - 0.5f, 0.0f, 1.0f, color, u0, v1},
        {x1 - 0.5f, y1 - 0.5f, 0.0f, 1.0f, color, u1, v1},
    };
    device_->SetTexture(0, e->texture);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TextVertex));
}

// The device states text drawing changes, saved before and restored after.
struct SavedStates {
    struct RS {
        D3DRENDERSTATETYPE state;
        DWORD value;
        bool saved;
    };
    struct TS {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE type;
        DWORD value;
        bool saved;
    };
    struct SS {
        D3DSAMPLERSTATETYPE type;
        DWORD value;
        bool saved;
    };
    RS rs[10] = {
        {D3DRS_ALPHABLENDENABLE, TRUE, false},
        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA, false},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA, false},
        {D3DRS_BLENDOP, D3DBLENDOP_ADD, false},
        {D3DRS_ALPHATESTENABLE, FALSE, false},
        {D3DRS_ZENABLE, D3DZB_FALSE, false},
        {D3DRS_ZWRITEENABLE, FALSE, false},
        {D3DRS_CULLMODE, D3DCULL_NONE, false},
        {D3DRS_FILLMODE, D3DFILL_SOLID, false},
        {D3DRS_FOGENABLE, FALSE, false},
    };
    TS ts[8] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE, false}, {0, D3DTSS_COLORARG1, D3DTA_TEXTURE, false},
        {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE, false}, {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE, false},
        {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE, false}, {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE, false},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE, false},  {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE, false},
    };
    SS ss[5] = {
        {D3DSAMP_MINFILTER, D3DTEXF_POINT, false},    {D3DSAMP_MAGFILTER, D3DTEXF_POINT, false},
        {D3DSAMP_MIPFILTER, D3DTEXF_NONE, false},     {D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP, false},
        {D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP, false},
    };
    IDirect3DBaseTexture9* texture = NULL;
    bool textureSaved = false;
    DWORD fvf = 0;
    bool fvfSaved = false;

    // Saves the current values and sets the text drawing states.
    void Apply(IDirect3DDevice9* dev, bool filtered) {
        if (filtered) {
            ss[0].value = D3DTEXF_LINEAR;
            ss[1].value = D3DTEXF_LINEAR;
        }
        for (RS& r : rs) {
            DWORD old = 0;
            r.saved = SUCCEEDED(dev->GetRenderState(r.state, &old));
            dev->SetRenderState(r.state, r.value);
            r.value = old;
        }
        for (TS& t : ts) {
            DWORD old = 0;
            t.saved = SUCCEEDED(dev->GetTextureStageState(t.stage, t.type, &old));
            dev->SetTextureStageState(t.stage, t.type, t.value);
            t.value = old;
        }
        for (SS& s : ss) {
            DWORD old = 0;
            s.saved = SUCCEEDED(dev->GetSamplerState(0, s.type, &old));
            dev->SetSamplerState(0, s.type, s.value);
            s.value = old;
        }
        textureSaved = SUCCEEDED(dev->GetTexture(0, &texture));
        fvfSaved = SUCCEEDED(dev->GetFVF(&fvf));
        dev->SetFVF(kTextFvf);
    }

    void Restore(IDirect3DDevice9* dev) {
        for (const RS& r : rs)
            if (r.saved) dev->SetRenderState(r.state, r.value);
        for (const TS& t : ts)
            if (t.saved) dev->SetTextureStageState(t.stage, t.type, t.value);
        for (const SS& s : ss)
            if (s.saved) dev->SetSamplerState(0, s.type, s.value);
        if (textureSaved) {
            dev->SetTexture(0, texture);
            if (texture) texture->Release();
        }
        if (fvfSaved) dev->SetFVF(fvf);
    }
};

INT Font::DrawTextA(LPD3DXSPRITE, LPCSTR pString, INT Count, LPRECT pRect, DWORD Format, D3DCOLOR Color) {
    if (!pString) return 0;
    size_t n = (Count < 0) ? strlen(pString) : strnlen(pString, static_cast<size_t>(Count));
    ToUtf8(pString, n, charset_, &text_);
    for (char& ch : text_)
        if (ch == '\t') ch = ' ';

    RECT rect = {0, 0, 0, 0};
    if (pRect) rect = *pRect;
    const int rectW = rect.right - rect.left;
    const int rectH = rect.bottom - rect.top;
    SplitLines(Format, rectW);

    int maxWidth = 0;
    for (const Line& l : lines_) {
        const Entry* e = Lookup(text_.data() + l.begin, l.length);
        if (e->width > maxWidth) maxWidth = e->width;
    }
    const int height = static_cast<int>(lines_.size()) * lineHeight_;

    if (Format & DT_CALCRECT) {
        if (pRect) {
            pRect->right = pRect->left + maxWidth;
            pRect->bottom = pRect->top + height;
        }
        return height;
    }
    if (lines_.empty()) return height;

    int y = rect.top;
    if (Format & DT_BOTTOM)
        y = rect.bottom - height;
    else if (Format & DT_VCENTER)
        y = rect.top + (rectH - height) / 2;
    const RECT* clip = (pRect && !(Format & DT_NOCLIP)) ? &rect : NULL;

    SavedStates saved;
    saved.Apply(device_, scaleX_ != 1.0f);
    for (const Line& l : lines_) {
        Entry* e = Lookup(text_.data() + l.begin, l.length);
        int x = rect.left;
        if (Format & DT_RIGHT)
            x = rect.right - e->width;
        else if (Format & DT_CENTER)
            x = rect.left + (rectW - e->width) / 2;
        if (!e->text.empty()) DrawLine(e, x, y, clip, Color);
        y += lineHeight_;
    }
    saved.Restore(device_);
    Evict();
    return height;
}

}  // namespace

HRESULT WINAPI D3DXCreateFontA(LPDIRECT3DDEVICE9 pDevice, INT Height, UINT Width, UINT Weight, UINT MipLevels,
                               BOOL Italic, DWORD CharSet, DWORD OutputPrecision, DWORD Quality, DWORD PitchAndFamily,
                               LPCSTR pFaceName, LPD3DXFONT* ppFont) {
    (void)MipLevels;
    (void)OutputPrecision;
    (void)PitchAndFamily;
    if (ppFont) *ppFont = NULL;
    if (!pDevice || !ppFont) return D3DERR_INVALIDCALL;
    if (Height > kMaxHeight || Height < -kMaxHeight) return D3DERR_INVALIDCALL;

    std::string family;
    if (pFaceName) ToUtf8(pFaceName, strlen(pFaceName), CharSet, &family);

    if (TTF_Init() != 0) {
        fprintf(stderr, "D3DXCreateFont: SDL_ttf cannot start: %s\n", TTF_GetError());
        return E_FAIL;
    }
    const std::vector<FaceCandidate> faces = FindFaces(family, CharSet);
    TTF_Font* ttf = NULL;
    for (const FaceCandidate& c : faces) {
        ttf = TTF_OpenFontIndex(c.file.c_str(), 16, c.index);
        if (ttf) break;
    }
    if (!ttf) {
        fprintf(stderr, "D3DXCreateFont: no usable font file for \"%s\"\n", family.c_str());
        TTF_Quit();
        return E_FAIL;
    }

    int style = TTF_STYLE_NORMAL;
    if (Weight >= FW_SEMIBOLD) style |= TTF_STYLE_BOLD;
    if (Italic) style |= TTF_STYLE_ITALIC;
    TTF_SetFontStyle(ttf, style);
    // A positive height is the cell height (ascent + descent); a negative one
    // is the character height, the em size, which is SDL_ttf's size at 72 dpi.
    if (Height < 0)
        TTF_SetFontSize(ttf, -Height);
    else
        FitCellHeight(ttf, Height == 0 ? kDefaultCellHeight : Height);

    // A width asks for that average character width (the width of an 'x').
    float scaleX = 1.0f;
    if (Width > 0) {
        int w = 0, h = 0;
        if (TTF_SizeUTF8(ttf, "x", &w, &h) == 0 && w > 0) scaleX = static_cast<float>(Width) / w;
    }

    *ppFont = new Font(pDevice, ttf, CharSet, Quality != NONANTIALIASED_QUALITY, scaleX);
    return D3D_OK;
}
