// Sanitizer settings of every test program in a TIDE_SANITIZE build, so the
// tests behave the same under ctest and when run by hand.
//
// LeakSanitizer is told to overlook blocks that third-party libraries
// allocate once per process and keep for its whole life on purpose, never
// freeing them at exit. Each entry says why; everything of ours (the game,
// our Windows layer, the tests) is checked in full.

#include <stdlib.h>

namespace {

// Mesa's llvmpipe frees memory of LLVM's JIT with free() that LLVM allocated
// with operator new, which AddressSanitizer reports as an alloc-dealloc
// mismatch (and no suppression can name). Its softpipe driver, with the
// vertex stage not compiled by LLVM either, draws the same without it; both
// are chosen before any GL library is loaded, unless the environment already
// says otherwise.
[[maybe_unused]] const bool g_softpipe =
    setenv("GALLIUM_DRIVER", "softpipe", 0) == 0 && setenv("DRAW_USE_LLVM", "0", 0) == 0;

}  // namespace

extern "C" const char* __asan_default_options() {
    // Report and fail on the first error; check for leaks at exit.
    return "detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1:check_initialization_order=1";
}

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

extern "C" const char* __lsan_default_suppressions() {
    return
        // Mesa's GL driver (softpipe under xvfb): the loader and the
        // driver's screen hold per-process state that lives until exit.
        "leak:libGLX_mesa.so\n"
        "leak:libEGL_mesa.so\n"
        "leak:libgallium\n"
        "leak:swrast_dri.so\n"
        "leak:libLLVM\n"
        "leak:libglapi.so\n"
        // fontconfig's configuration and font cache, loaded once by
        // FcInit (SDL_ttf's and our font lookup) and kept for the process.
        "leak:libfontconfig.so\n"
        // Xlib's per-display caches (XOpenDisplay through SDL's X11 driver;
        // the display connection stays open until exit).
        "leak:libX11.so\n"
        // D-Bus connection state SDL opens for screensaver / IME queries.
        "leak:libdbus-1.so\n"
        // SDL's own tables (hints, audio driver lists) that live until
        // SDL_Quit, which a Windows program, and so our layer, never calls.
        "leak:libSDL2-2.0.so\n";
}
