// fontconfig, loaded by Qt's font database, keeps a few small allocations
// alive until exit on purpose; LeakSanitizer is told to ignore them (the hook
// is read only in sanitizer builds).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
