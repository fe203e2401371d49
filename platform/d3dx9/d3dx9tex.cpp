// D3DXCreateTextureFromFileA and D3DXCreateTextureFromFileInMemory: PNG and
// JPEG images into managed A8R8G8B8 textures with a full chain of
// box-filtered mip levels. Those are the formats the game's textures come in;
// the decoder is built with no others, so a damaged or hostile file reaches
// as little decoding code as possible. Files, sides and pixel counts are
// capped (see below): anything larger is D3DXERR_INVALIDDATA, not gigabytes.
// As D3DX does for its default sizes, a side that is not a power of two is
// rounded up to one, and the image is scaled to it with D3DX's default
// (triangle) filter.
//
// Stateless: each call reads the file, decodes it into an RGBA buffer (so a
// bad file fails here, at once) and creates the texture through the public
// IDirect3DDevice9 interface. Scaling, the mip chain and the level writes
// (LockRect/UnlockRect) are then handed to the texture as a contents
// producer holding the decoded image (common/deferred_contents.h): a device
// that draws runs it before this call returns, one that draws nothing when
// the texels are first used. A texture that does not take producers is
// filled before returning. The caller owns the one reference on the texture
// it gets back.
//
// Paths are taken as Windows would take them: backslashes separate folders,
// and a name that does not exist with the exact case given is looked up
// case-insensitively, folder by folder.
#include <d3dx9.h>

#include <dirent.h>
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "common/deferred_contents.h"

// Images larger than this on either side are rejected as invalid data.
#define STBI_MAX_DIMENSIONS 4096
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

// Files bigger than this are not images the game could mean.
const long kMaxImageFileBytes = 32L * 1024L * 1024L;
// Nor are images of more pixels (16 MiB as RGBA; the game's largest has
// 1.5 million). Checked from the header before anything is decoded.
const long long kMaxImagePixels = 4LL * 1024 * 1024;

// Looks up one path component in `dir` ignoring case; true with the real name.
bool FindCaseInsensitive(const std::string& dir, const std::string& name, std::string* real) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    bool found = false;
    while (struct dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            *real = e->d_name;
            found = true;
            if (name == e->d_name) break;  // an exact match wins over a case variant
        }
    }
    closedir(d);
    return found;
}

// Turns a Windows-style path into the path of an existing file when one
// matches it ignoring case; otherwise returns the path with '/' separators.
std::string ResolvePath(const char* path) {
    std::string p(path);
    for (char& ch : p)
        if (ch == '\\') ch = '/';
    struct stat st;
    if (stat(p.c_str(), &st) == 0) return p;

    std::string resolved;
    size_t pos = 0;
    if (!p.empty() && p[0] == '/') {
        resolved = "/";
        pos = 1;
    }
    while (pos <= p.size()) {
        size_t next = p.find('/', pos);
        if (next == std::string::npos) next = p.size();
        std::string part = p.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty() || part == ".") continue;
        std::string dir = resolved;
        if (!dir.empty() && dir.back() == '/' && dir.size() > 1) dir.pop_back();
        std::string real;
        if (part != ".." && FindCaseInsensitive(dir, part, &real)) part = real;
        if (!resolved.empty() && resolved.back() != '/') resolved += '/';
        resolved += part;
        if (next == p.size()) break;
    }
    return resolved.empty() ? p : resolved;
}

HRESULT HresultFromErrno(int err) {
    switch (err) {
    case ENOENT: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EISDIR: return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case ENOMEM: return E_OUTOFMEMORY;
    default: return E_FAIL;
    }
}

// Reads the whole file into `out`.
HRESULT ReadWholeFile(const std::string& path, std::vector<unsigned char>* out) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return HresultFromErrno(errno);
    if (S_ISDIR(st.st_mode)) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return HresultFromErrno(errno);
    HRESULT hr = S_OK;
    if (st.st_size <= 0 || st.st_size > kMaxImageFileBytes) {
        hr = D3DXERR_INVALIDDATA;
    } else {
        out->resize(static_cast<size_t>(st.st_size));
        if (fread(out->data(), 1, out->size(), f) != out->size()) hr = ferror(f) ? E_FAIL : D3DXERR_INVALIDDATA;
    }
    fclose(f);
    return hr;
}

struct Rgba {
    unsigned char r, g, b, a;
};
static_assert(sizeof(Rgba) == 4, "a texel is four bytes, r first");

// Gives large blocks pages of their own, handed back to the system when
// freed. Pixel buffers are made on the device's contents thread and freed on
// the game's, often much later; from the heap their memory stayed with the
// process (glibc raises its mapping threshold after the first large free and
// keeps each thread's freed blocks in that thread's arena), some 50 MB of
// resident size by the last scene.
template <typename T>
struct PageAllocator {
    using value_type = T;
    static constexpr size_t kMapBytes = 64 * 1024;
    PageAllocator() = default;
    template <typename U>
    PageAllocator(const PageAllocator<U>&) {}
    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        if (n * sizeof(T) < kMapBytes) return static_cast<T*>(::operator new(n * sizeof(T)));
        void* p = mmap(NULL, n * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) {
        if (n * sizeof(T) < kMapBytes)
            ::operator delete(p);
        else
            munmap(p, n * sizeof(T));
    }
    template <typename U>
    bool operator==(const PageAllocator<U>&) const {
        return true;
    }
    template <typename U>
    bool operator!=(const PageAllocator<U>&) const {
        return false;
    }
};

// An image's texels, row by row.
using Pixels = std::vector<Rgba, PageAllocator<Rgba>>;

// False when a JPEG holds a Huffman table (DHT) with more than 256 codes or
// one that runs past its segment, or when a scan (SOS) decodes with a table
// no DHT before it defined. stb_image builds such a table past the end of its
// arrays, and decodes with an undefined one from uninitialised memory, so
// these files never reach it. A scan needs the tables it decodes with: in a
// baseline file both of each component's; in a progressive one the DC table
// for a first DC scan, the AC table for an AC scan and none to refine DC.
// Walks every marker segment, including those between the scans of a
// progressive file; anything that is not a JPEG passes untouched. Like the
// decoder, takes fill bytes (0xFF) before the start-of-image marker.
bool JpegHuffmanTablesSound(const unsigned char* p, size_t n) {
    if (n < 2 || p[0] != 0xFF) return true;
    size_t i = 1;
    while (i < n && p[i] == 0xFF) ++i;
    if (i >= n || p[i] != 0xD8) return true;
    ++i;
    bool progressive = false;
    unsigned defined = 0;  // bit class * 4 + id for each table a DHT has defined
    while (i + 1 < n) {
        if (p[i] != 0xFF) {  // entropy-coded data: skip to the next marker
            ++i;
            continue;
        }
        const unsigned char m = p[i + 1];
        if (m == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        i += 2;
        if (m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD8)) continue;  // stuffed byte, RSTn, SOI: no length
        if (m == 0xD9) return true;                                        // EOI
        if (i + 2 > n) return true;                                        // cut short: the decoder reports it
        const size_t length = (size_t(p[i]) << 8) | p[i + 1];
        if (length < 2) return true;
        const size_t end = i + length;
        if (m == 0xC4) {
            size_t t = i + 2;
            while (t < end) {
                if (t + 17 > end || t + 17 > n) return false;
                size_t codes = 0;
                for (size_t k = 1; k <= 16; ++k) codes += p[t + k];
                if (codes > 256 || t + 17 + codes > end) return false;
                if ((p[t] >> 4) <= 1 && (p[t] & 15) <= 3) defined |= 1u << ((p[t] >> 4) * 4 + (p[t] & 15));
                t += 17 + codes;
            }
        } else if (m == 0xC2) {
            progressive = true;
        } else if (m == 0xDA && end <= n && length >= 3) {
            const size_t count = p[i + 2];
            if (length < 6 + 2 * count) return true;  // malformed: the decoder reports it
            const unsigned start = p[i + 3 + 2 * count], high = p[i + 5 + 2 * count] >> 4;
            const bool dc = !progressive || (start == 0 && high == 0), ac = !progressive || start != 0;
            for (size_t c = 0; c < count; ++c) {
                const unsigned tables = p[i + 4 + 2 * c], td = tables >> 4, ta = tables & 15;
                if ((dc && td <= 3 && !(defined >> td & 1)) || (ac && ta <= 3 && !(defined >> (4 + ta) & 1)))
                    return false;
            }
        }
        i = end;
    }
    return true;
}

// A PNG may hold IDAT chunks with no data. stb_image copies each chunk's data
// into a buffer it allocates at the first non-empty one, so an empty first
// IDAT is a copy of no bytes to a null pointer: undefined, and a sanitizer
// build stops there. Copies the file without its empty IDAT chunks into
// `out` (the image data is the concatenation of the IDAT contents, so they
// carry nothing) and returns true; false, with `out` untouched, for a file
// that is not a PNG or has none. A chunk running past the end stops the walk:
// it and what follows are kept for the decoder to judge.
bool DropEmptyPngDataChunks(const unsigned char* p, size_t n, std::vector<unsigned char>* out) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n < 8 || memcmp(p, kSignature, 8) != 0) return false;
    auto walk = [&](bool copy) {
        size_t i = 8;
        bool found = false;
        while (i + 12 <= n) {
            const size_t length = (size_t(p[i]) << 24) | (size_t(p[i + 1]) << 16) | (size_t(p[i + 2]) << 8) | p[i + 3];
            if (length > n - i - 12) break;
            const bool empty = length == 0 && memcmp(p + i + 4, "IDAT", 4) == 0;
            found = found || empty;
            if (copy && !empty) out->insert(out->end(), p + i, p + i + 12 + length);
            i += 12 + length;
        }
        if (copy) out->insert(out->end(), p + i, p + n);
        return found;
    };
    if (!walk(false)) return false;
    out->assign(p, p + 8);
    walk(true);
    return true;
}

// The rounded mean of n texels from their sums: colours weighted by alpha
// (pr, pg, pb over a), or plain (r, g, b over n) where every texel is clear.
template <typename Sum>
Rgba BoxMean(Sum r, Sum g, Sum b, Sum a, Sum pr, Sum pg, Sum pb, Sum n) {
    Rgba out;
    if (a > 0) {
        out.r = static_cast<unsigned char>((pr + a / 2) / a);
        out.g = static_cast<unsigned char>((pg + a / 2) / a);
        out.b = static_cast<unsigned char>((pb + a / 2) / a);
    } else {
        out.r = static_cast<unsigned char>((r + n / 2) / n);
        out.g = static_cast<unsigned char>((g + n / 2) / n);
        out.b = static_cast<unsigned char>((b + n / 2) / n);
    }
    out.a = static_cast<unsigned char>((a + n / 2) / n);
    return out;
}

// Downsample's step from one power-of-two level to the next: the same sums
// over each 2x2 block (2x1 or 1x2 where a side is already 1), in 32 bits;
// a 2x2 block is summed from its four texels loaded at once.
// A block of opaque texels takes a shortcut with the same result: there
// every alpha-weighted sum is 255 times the plain one and a = 255 * n, so
// (255 * r + a / 2) / a is (r + n / 2) / n, and n is 1, 2 or 4.
void HalveBox(const Pixels& src, UINT sw, UINT sh, Pixels* dst, UINT dw, UINT dh) {
    const UINT nx = sw / dw, ny = sh / dh;               // texels per block on each axis: 1 or 2
    const uint32_t n = nx * ny, shift = n == 2 ? 1 : 0;  // shift: log2 n below the 2x2 path
    const Rgba* in = src.data();
    Rgba* out = dst->data();
    for (UINT y = 0; y < dh; ++y) {
        const Rgba* top = in + static_cast<size_t>(y * ny) * sw;
        const Rgba* bottom = top + (ny == 2 ? sw : 0);
        for (UINT x = 0; x < dw; ++x, ++out) {
            if (n == 4) {
                // Four texels summed two channels at a time, in 16-bit lanes
                // (r and b, then g and a), for the opaque shortcut.
                uint32_t t[4];
                memcpy(&t[0], top + 2 * x, 8);
                memcpy(&t[2], bottom + 2 * x, 8);
                const uint32_t rb =
                    (t[0] & 0x00FF00FFu) + (t[1] & 0x00FF00FFu) + (t[2] & 0x00FF00FFu) + (t[3] & 0x00FF00FFu);
                const uint32_t ga = (t[0] >> 8 & 0x00FF00FFu) + (t[1] >> 8 & 0x00FF00FFu) + (t[2] >> 8 & 0x00FF00FFu) +
                                    (t[3] >> 8 & 0x00FF00FFu);
                if (ga >> 16 == 4 * 255) {
                    const uint32_t texel =
                        ((rb + 0x00020002u) >> 2 & 0x00FF00FFu) | ((ga + 0x00020002u) >> 2 & 0x00FF00FFu) << 8;
                    memcpy(out, &texel, 4);
                    continue;
                }
                // Not opaque: BoxMean over the same sums, taken from the
                // four texels at hand (the lanes above hold r, g, b and a).
                const uint32_t a = ga >> 16;
                uint32_t pr = 0, pg = 0, pb = 0;
                for (int k = 0; k < 4; ++k) {
                    const uint32_t ta = t[k] >> 24;
                    pr += (t[k] & 0xFFu) * ta;
                    pg += (t[k] >> 8 & 0xFFu) * ta;
                    pb += (t[k] >> 16 & 0xFFu) * ta;
                }
                *out = BoxMean<uint32_t>(rb & 0xFFFFu, ga & 0xFFFFu, rb >> 16, a, pr, pg, pb, 4);
                continue;
            }
            // A 2x1 or 1x2 block, or a single texel: the first texel and the
            // one beside it or below it.
            const Rgba* texels[2] = {top + x * nx, nx == 2 ? top + x * nx + 1 : bottom + x};
            uint32_t r = 0, g = 0, b = 0, a = 0;
            for (uint32_t k = 0; k < n; ++k) {
                r += texels[k]->r;
                g += texels[k]->g;
                b += texels[k]->b;
                a += texels[k]->a;
            }
            if (a == 255 * n) {
                *out = Rgba{static_cast<unsigned char>((r + n / 2) >> shift),
                            static_cast<unsigned char>((g + n / 2) >> shift),
                            static_cast<unsigned char>((b + n / 2) >> shift), 255};
                continue;
            }
            uint32_t pr = 0, pg = 0, pb = 0;
            for (uint32_t k = 0; k < n; ++k) {
                pr += static_cast<uint32_t>(texels[k]->r) * texels[k]->a;
                pg += static_cast<uint32_t>(texels[k]->g) * texels[k]->a;
                pb += static_cast<uint32_t>(texels[k]->b) * texels[k]->a;
            }
            *out = BoxMean<uint32_t>(r, g, b, a, pr, pg, pb, n);
        }
    }
}

// One box-filtered step from a (sw x sh) image to (dw x dh): every target
// texel averages the source texels its footprint touches. Colours are
// weighted by alpha so transparent texels do not darken the edges of sprites.
void Downsample(const Pixels& src, UINT sw, UINT sh, Pixels* dst, UINT dw, UINT dh) {
    dst->resize(static_cast<size_t>(dw) * dh);
    if ((sw == 2 * dw || (sw == 1 && dw == 1)) && (sh == 2 * dh || (sh == 1 && dh == 1))) {
        HalveBox(src, sw, sh, dst, dw, dh);
        return;
    }
    for (UINT y = 0; y < dh; ++y) {
        const UINT y0 = static_cast<UINT>(static_cast<unsigned long long>(y) * sh / dh);
        UINT y1 = static_cast<UINT>((static_cast<unsigned long long>(y + 1) * sh + dh - 1) / dh);
        if (y1 <= y0) y1 = y0 + 1;
        for (UINT x = 0; x < dw; ++x) {
            const UINT x0 = static_cast<UINT>(static_cast<unsigned long long>(x) * sw / dw);
            UINT x1 = static_cast<UINT>((static_cast<unsigned long long>(x + 1) * sw + dw - 1) / dw);
            if (x1 <= x0) x1 = x0 + 1;
            unsigned long long r = 0, g = 0, b = 0, a = 0, pr = 0, pg = 0, pb = 0, n = 0;
            for (UINT yy = y0; yy < y1 && yy < sh; ++yy) {
                for (UINT xx = x0; xx < x1 && xx < sw; ++xx) {
                    const Rgba& t = src[static_cast<size_t>(yy) * sw + xx];
                    r += t.r;
                    g += t.g;
                    b += t.b;
                    a += t.a;
                    pr += static_cast<unsigned long long>(t.r) * t.a;
                    pg += static_cast<unsigned long long>(t.g) * t.a;
                    pb += static_cast<unsigned long long>(t.b) * t.a;
                    ++n;
                }
            }
            (*dst)[static_cast<size_t>(y) * dw + x] = BoxMean<unsigned long long>(r, g, b, a, pr, pg, pb, n);
        }
    }
}

// The size D3DX gives a texture whose size is left to it: the image's,
// rounded up to a power of two.
UINT RoundUpToPowerOfTwo(UINT v) {
    UINT p = 1;
    while (p < v) p <<= 1;
    return p;
}

// The source texels one target texel of an upsampled axis (s source texels
// to d >= s target texels) covers: target i spans [i * s / d, (i + 1) * s / d)
// of the source, so it lies over `first` alone or over parts of `first` and
// the texel after it; w0 and w1 are the shares of the two (w1 is zero, and
// `second` is `first` again, where there is one).
struct AxisTaps {
    std::vector<UINT> first, second;
    std::vector<double> w0, w1;
};
AxisTaps UpsampleTaps(UINT s, UINT d) {
    AxisTaps taps;
    taps.first.resize(d);
    taps.second.resize(d);
    taps.w0.resize(d);
    taps.w1.resize(d);
    const double scale = static_cast<double>(s) / d;
    for (UINT i = 0; i < d; ++i) {
        const double lo = i * scale, hi = (i + 1) * scale;
        const UINT j = static_cast<UINT>(lo);
        taps.first[i] = taps.second[i] = j;
        taps.w0[i] = (std::min(hi, j + 1.0) - lo) / scale;
        if (j + 1 < s && j + 1 < hi) {
            taps.second[i] = j + 1;
            taps.w1[i] = (hi - (j + 1)) / scale;
        }
    }
    return taps;
}

// D3DX_FILTER_TRIANGLE ("each pixel in the source image contributes equally
// to the destination image"): every target texel is the source image's mean
// over the area the texel covers, each source texel weighted by the part of
// that area it fills. Colours are weighted by alpha, as in Downsample; where
// no covered texel has any alpha, the plain mean of the colours is taken.
// Separable: a source row is first filtered across to the target width, then
// each target row sums the two filtered rows its span covers; only those two
// are kept. The sums are made channel by channel in an order of operations
// that does not depend on the texel (a missing second texel adds a zero),
// so the loops run four or eight texels at a time on processors that can
// (the avx2 clone) and give the same bytes either way. ResampleRows makes
// target rows [y0, y1) into `dst` (already dw x dh); each row depends on the
// source alone, so parts can be made on separate threads.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define RESAMPLE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define RESAMPLE_CLONES
#endif
RESAMPLE_CLONES void ResampleRows(const Pixels& src, UINT sw, const AxisTaps& xs, const AxisTaps& ys, Rgba* dst,
                                  UINT dw, UINT y0, UINT y1) {
    // One filtered row: the alpha-weighted r, g, b and the alpha, and the
    // plain r, g, b once a texel needs them.
    struct Row {
        std::vector<double> pr, pg, pb, a, r, g, b;
        long long y = -1;
        bool plain = false;
    };
    Row rows[2];
    for (Row& row : rows)
        for (std::vector<double>* v : {&row.pr, &row.pg, &row.pb, &row.a, &row.r, &row.g, &row.b}) v->resize(dw);
    std::vector<double> sr(sw), sg(sw), sb(sw), sa(sw);  // one source row
    const UINT *f0 = xs.first.data(), *f1 = xs.second.data();
    const double *w0 = xs.w0.data(), *w1 = xs.w1.data();
    auto load = [&](UINT y) {
        const Rgba* in = src.data() + static_cast<size_t>(y) * sw;
        for (UINT j = 0; j < sw; ++j) {
            sr[j] = in[j].r;
            sg[j] = in[j].g;
            sb[j] = in[j].b;
            sa[j] = in[j].a;
        }
    };
    auto filtered = [&](UINT y) -> Row& {
        Row& row = rows[y & 1];
        if (row.y == static_cast<long long>(y)) return row;
        row.y = y;
        row.plain = false;
        load(y);
        double *pr = row.pr.data(), *pg = row.pg.data(), *pb = row.pb.data(), *pa = row.a.data();
        for (UINT x = 0; x < dw; ++x) {
            const UINT i0 = f0[x], i1 = f1[x];
            const double wa0 = w0[x] * sa[i0], wa1 = w1[x] * sa[i1];
            pr[x] = wa0 * sr[i0] + wa1 * sr[i1];
            pg[x] = wa0 * sg[i0] + wa1 * sg[i1];
            pb[x] = wa0 * sb[i0] + wa1 * sb[i1];
            pa[x] = wa0 + wa1;
        }
        return row;
    };
    auto plain = [&](Row& row) {
        if (row.plain) return;
        row.plain = true;
        load(static_cast<UINT>(row.y));
        double *r = row.r.data(), *g = row.g.data(), *b = row.b.data();
        for (UINT x = 0; x < dw; ++x) {
            const UINT i0 = f0[x], i1 = f1[x];
            r[x] = w0[x] * sr[i0] + w1[x] * sr[i1];
            g[x] = w0[x] * sg[i0] + w1[x] * sg[i1];
            b[x] = w0[x] * sb[i0] + w1[x] * sb[i1];
        }
    };
    auto channel = [](double v) { return static_cast<int>(std::min(255.0, std::max(0.0, v + 0.5))); };
    std::vector<int> vr(dw), vg(dw), vb(dw), va(dw);  // one target row's channels
    for (UINT y = y0; y < y1; ++y) {
        const double wy0 = ys.w0[y], wy1 = ys.w1[y];
        Row& r0 = filtered(ys.first[y]);
        Row& r1 = ys.second[y] == ys.first[y] ? r0 : filtered(ys.second[y]);
        const double *a0 = r0.a.data(), *a1 = r1.a.data();
        int clear = 0;
        {
            const double *pr0 = r0.pr.data(), *pr1 = r1.pr.data(), *pg0 = r0.pg.data(), *pg1 = r1.pg.data();
            const double *pb0 = r0.pb.data(), *pb1 = r1.pb.data();
            for (UINT x = 0; x < dw; ++x) {
                const double a = wy0 * a0[x] + wy1 * a1[x];
                const double d = a > 0.0 ? a : 1.0;
                vr[x] = channel((wy0 * pr0[x] + wy1 * pr1[x]) / d);
                vg[x] = channel((wy0 * pg0[x] + wy1 * pg1[x]) / d);
                vb[x] = channel((wy0 * pb0[x] + wy1 * pb1[x]) / d);
                va[x] = channel(a);
                clear |= a > 0.0 ? 0 : 1;
            }
        }
        if (clear) {  // texels with no alpha at all: the plain colours
            plain(r0);
            plain(r1);
            const double *pr0 = r0.r.data(), *pr1 = r1.r.data(), *pg0 = r0.g.data(), *pg1 = r1.g.data();
            const double *pb0 = r0.b.data(), *pb1 = r1.b.data();
            for (UINT x = 0; x < dw; ++x) {
                const bool none = !(wy0 * a0[x] + wy1 * a1[x] > 0.0);
                const int r = channel(wy0 * pr0[x] + wy1 * pr1[x]);
                const int g = channel(wy0 * pg0[x] + wy1 * pg1[x]);
                const int b = channel(wy0 * pb0[x] + wy1 * pb1[x]);
                vr[x] = none ? r : vr[x];
                vg[x] = none ? g : vg[x];
                vb[x] = none ? b : vb[x];
            }
        }
        Rgba* out = dst + static_cast<size_t>(y) * dw;
        for (UINT x = 0; x < dw; ++x)
            out[x] = Rgba{static_cast<unsigned char>(vr[x]), static_cast<unsigned char>(vg[x]),
                          static_cast<unsigned char>(vb[x]), static_cast<unsigned char>(va[x])};
    }
}

// Target texels from which the resample's lower half is made on a second
// thread (the game's full-screen pictures: 2048x1024 each).
const size_t kResampleSplitTexels = 256 * 1024;

// Scales (sw x sh) up to (dw x dh), each side the same or larger.
void ResampleTriangle(const Pixels& src, UINT sw, UINT sh, Pixels* dst, UINT dw, UINT dh) {
    const AxisTaps xs = UpsampleTaps(sw, dw), ys = UpsampleTaps(sh, dh);
    dst->resize(static_cast<size_t>(dw) * dh);
    Rgba* out = dst->data();
    if (static_cast<size_t>(dw) * dh >= kResampleSplitTexels && dh >= 2 && std::thread::hardware_concurrency() >= 2) {
        const UINT half = dh / 2;
        std::thread lower;
        try {
            lower = std::thread(ResampleRows, std::cref(src), sw, std::cref(xs), std::cref(ys), out, dw, half, dh);
        } catch (const std::system_error&) {  // no thread to be had: all on this one
            ResampleRows(src, sw, xs, ys, out, dw, 0, dh);
            return;
        }
        ResampleRows(src, sw, xs, ys, out, dw, 0, half);
        lower.join();
        return;
    }
    ResampleRows(src, sw, xs, ys, out, dw, 0, dh);
}

// Writes an RGBA image into one locked A8R8G8B8 level (bytes B, G, R, A).
HRESULT UploadLevel(IDirect3DTexture9* tex, UINT level, const Pixels& img, UINT w, UINT h) {
    D3DLOCKED_RECT lr;
    HRESULT hr = tex->LockRect(level, &lr, NULL, 0);
    if (FAILED(hr)) return hr;
    if (!lr.pBits || lr.Pitch < static_cast<INT>(w * 4)) {
        tex->UnlockRect(level);
        return D3DERR_INVALIDCALL;
    }
    for (UINT y = 0; y < h; ++y) {
        unsigned char* row = static_cast<unsigned char*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch;
        const Rgba* s = &img[static_cast<size_t>(y) * w];
        for (UINT x = 0; x < w; ++x) {
            row[4 * x + 0] = s[x].b;
            row[4 * x + 1] = s[x].g;
            row[4 * x + 2] = s[x].r;
            row[4 * x + 3] = s[x].a;
        }
    }
    return tex->UnlockRect(level);
}

// The size of each level of a texture, top first.
struct LevelSize {
    UINT w, h;
};

HRESULT ReadLevelSizes(IDirect3DTexture9* tex, std::vector<LevelSize>* sizes) {
    const DWORD levels = tex->GetLevelCount();
    for (DWORD i = 0; i < (levels ? levels : 1); ++i) {
        D3DSURFACE_DESC desc;
        const HRESULT hr = tex->GetLevelDesc(i, &desc);
        if (FAILED(hr)) return hr;
        if (desc.Width == 0 || desc.Height == 0) return D3DERR_INVALIDCALL;
        sizes->push_back({desc.Width, desc.Height});
    }
    return D3D_OK;
}

// The levels of a texture of the given level sizes made from the decoded
// (w x h) image. The image is first scaled to its sides rounded up to powers
// of two; each level is then the one before box-filtered to its size (the
// first only when its size differs). Every level is a vector of its own
// size: levels may wait a while before they are written.
std::vector<Pixels> MakeLevels(Pixels image, UINT w, UINT h, const std::vector<LevelSize>& sizes) {
    UINT cw = RoundUpToPowerOfTwo(w), ch = RoundUpToPowerOfTwo(h);
    if (cw != w || ch != h) {
        Pixels scaled;
        ResampleTriangle(image, w, h, &scaled, cw, ch);
        image = std::move(scaled);
    }
    std::vector<Pixels> levels;
    levels.reserve(sizes.size());
    for (const LevelSize& size : sizes) {
        if (size.w != cw || size.h != ch) {
            Pixels made;
            Downsample(levels.empty() ? image : levels.back(), cw, ch, &made, size.w, size.h);
            levels.push_back(std::move(made));
            cw = size.w;
            ch = size.h;
        } else if (levels.empty()) {
            levels.push_back(std::move(image));
        } else {
            levels.push_back(levels.back());
        }
    }
    return levels;
}

// Writes the levels into `tex`, letting each go once written.
HRESULT UploadLevels(IDirect3DTexture9* tex, std::vector<Pixels>* levels, const std::vector<LevelSize>& sizes) {
    for (size_t i = 0; i < levels->size(); ++i) {
        const HRESULT hr = UploadLevel(tex, static_cast<UINT>(i), (*levels)[i], sizes[i].w, sizes[i].h);
        Pixels().swap((*levels)[i]);
        if (FAILED(hr)) return hr;
    }
    return D3D_OK;
}

// Fills every level of `tex` from the decoded (w x h) image (MakeLevels).
HRESULT FillLevels(IDirect3DTexture9* tex, Pixels image, UINT w, UINT h) {
    std::vector<LevelSize> sizes;
    const HRESULT hr = ReadLevelSizes(tex, &sizes);
    if (FAILED(hr)) return hr;
    std::vector<Pixels> levels = MakeLevels(std::move(image), w, h, sizes);
    return UploadLevels(tex, &levels, sizes);
}

// FillLevels kept for later: holds the decoded image and the texture's level
// sizes. Prepare makes the levels (and lets the image go); Produce writes
// them, making them first if Prepare has not.
class ImageLevels final : public winapi::ContentsProducer {
public:
    ImageLevels(Pixels image, UINT w, UINT h, std::vector<LevelSize> sizes)
        : m_image(std::move(image)), m_w(w), m_h(h), m_sizes(std::move(sizes)) {}
    void Prepare() override {
        if (m_prepared) return;
        m_prepared = true;
        try {
            m_levels = MakeLevels(std::move(m_image), m_w, m_h, m_sizes);
        } catch (const std::bad_alloc&) {
            m_levels.clear();
            m_result = E_OUTOFMEMORY;
        } catch (...) {
            m_levels.clear();
            m_result = E_FAIL;
        }
    }
    HRESULT Produce(IDirect3DTexture9* texture) override {
        Prepare();
        return FAILED(m_result) ? m_result : UploadLevels(texture, &m_levels, m_sizes);
    }

private:
    Pixels m_image;
    UINT m_w, m_h;
    std::vector<LevelSize> m_sizes;
    std::vector<Pixels> m_levels;
    bool m_prepared = false;
    HRESULT m_result = D3D_OK;
};

}  // namespace

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, LPDIRECT3DTEXTURE9* ppTexture) {
    if (ppTexture) *ppTexture = NULL;
    if (!pDevice || !pSrcFile || !ppTexture) return D3DERR_INVALIDCALL;
    if (!*pSrcFile) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

    std::vector<unsigned char> bytes;
    HRESULT hr = ReadWholeFile(ResolvePath(pSrcFile), &bytes);
    if (FAILED(hr)) return hr;
    return D3DXCreateTextureFromFileInMemory(pDevice, bytes.data(), static_cast<UINT>(bytes.size()), ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                                 LPDIRECT3DTEXTURE9* ppTexture) {
    if (ppTexture) *ppTexture = NULL;
    if (!pDevice || !pSrcData || !ppTexture || SrcDataSize == 0) return D3DERR_INVALIDCALL;
    if (SrcDataSize > static_cast<UINT>(kMaxImageFileBytes)) return D3DXERR_INVALIDDATA;
    const stbi_uc* data = static_cast<const stbi_uc*>(pSrcData);
    int size = static_cast<int>(SrcDataSize);

    int w = 0, h = 0, comp = 0;
    if (!JpegHuffmanTablesSound(data, SrcDataSize)) return D3DXERR_INVALIDDATA;
    std::vector<unsigned char> cleaned;
    if (DropEmptyPngDataChunks(data, SrcDataSize, &cleaned)) {
        data = cleaned.data();
        size = static_cast<int>(cleaned.size());
    }
    if (!stbi_info_from_memory(data, size, &w, &h, &comp) || w <= 0 || h <= 0 ||
        static_cast<long long>(w) * h > kMaxImagePixels) {
        return D3DXERR_INVALIDDATA;
    }
    // A file of three channels is decoded as it is and given its alpha here
    // in one pass: asked for four, the decoder adds it texel by texel inside
    // its row filters, which costs a third more.
    const int channels = comp == 3 ? 3 : 4;
    stbi_uc* pixels = stbi_load_from_memory(data, size, &w, &h, &comp, channels);
    if (!pixels || w <= 0 || h <= 0 || static_cast<long long>(w) * h > kMaxImagePixels) {
        if (pixels) stbi_image_free(pixels);
        return D3DXERR_INVALIDDATA;
    }
    const size_t texels = static_cast<size_t>(w) * h;
    Pixels image;
    if (channels == 4) {
        image.assign(reinterpret_cast<Rgba*>(pixels), reinterpret_cast<Rgba*>(pixels) + texels);
    } else {
        image.resize(texels);
        for (size_t i = 0; i < texels; ++i) image[i] = Rgba{pixels[3 * i], pixels[3 * i + 1], pixels[3 * i + 2], 255};
    }
    stbi_image_free(pixels);

    IDirect3DTexture9* tex = NULL;
    HRESULT hr =
        pDevice->CreateTexture(RoundUpToPowerOfTwo(static_cast<UINT>(w)), RoundUpToPowerOfTwo(static_cast<UINT>(h)), 0,
                               0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, NULL);
    if (FAILED(hr) || !tex) return FAILED(hr) ? hr : E_FAIL;

    // Our textures take the rest of the work and do it when the texels are
    // first needed (at once on a device that draws); any other is filled now.
    IWinapiDeferredContents* deferred = NULL;
    if (SUCCEEDED(tex->QueryInterface(IID_IWinapiDeferredContents, reinterpret_cast<void**>(&deferred))) && deferred) {
        std::vector<LevelSize> sizes;
        hr = ReadLevelSizes(tex, &sizes);
        if (SUCCEEDED(hr))
            hr = deferred->SetContentsProducer(std::unique_ptr<winapi::ContentsProducer>(
                new ImageLevels(std::move(image), static_cast<UINT>(w), static_cast<UINT>(h), std::move(sizes))));
        deferred->Release();
    } else {
        hr = FillLevels(tex, std::move(image), static_cast<UINT>(w), static_cast<UINT>(h));
    }
    if (FAILED(hr)) {
        tex->Release();
        return hr;
    }
    *ppTexture = tex;
    return D3D_OK;
}
