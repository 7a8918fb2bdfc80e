// Read by LeakSanitizer at exit: fontconfig and Qt's platform plugins keep process-wide caches
// that are never freed, which are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n"
           "leak:libQt6Gui\n"
           "leak:libQt6Core\n"
           "leak:libglib\n";
}
