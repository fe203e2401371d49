// Sanitizer settings of every test program in a TIDE_SANITIZE build, so the
// tests behave the same under ctest and when run by hand: any report stops the
// program with a failure, leaks are checked at exit, and the suppressions of
// tests/sanitizers/*.supp apply. Those name only third-party libraries (each
// entry says why); everything of ours (the game, our Windows layer, the
// tests) is checked in full. LSAN_OPTIONS / ASAN_OPTIONS / UBSAN_OPTIONS in
// the environment still override any of it, e.g. LSAN_OPTIONS=suppressions=
// to see every leak report, suppressed or not.
//
// GL comes from Mesa's llvmpipe, as in the normal test run.

extern "C" const char* __asan_default_options() {
    return "detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1:check_initialization_order=1";
}

extern "C" const char* __lsan_default_options() {
    return "suppressions=" TEST_SOURCE_DIR "/sanitizers/lsan.supp:print_suppressions=0";
}

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
