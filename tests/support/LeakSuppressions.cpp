// Read by LeakSanitizer in the Qt test programs. Fontconfig keeps the configuration it loads
// the first time Qt asks for fonts until the process ends; that is the one allocation left at
// exit that is not ours. It is named by function, never by library: Qt's and GLib's event loop
// lies on the stack of every slot the program runs, so naming a whole library would hide any
// leak of ours behind a signal, a menu command or a port event.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:FcInitLoadConfigAndFonts\n";
}

// Fontconfig is built without frame pointers, so the fast unwinder stops at its first frame and
// the function above would never be seen; the full unwinder sees the whole stack, at the cost of
// slower allocations in these programs only.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
