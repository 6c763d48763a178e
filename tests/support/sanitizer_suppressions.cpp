// Sanitizer settings compiled into every test program and, in a sanitizer build, every program
// the tests start, so no environment setting is needed.
//
// ThreadSanitizer: Qt's own worker threads (image conversion and drawing in its thread pool)
// synchronise inside the uninstrumented Qt libraries and glib (its event loop's), so their
// allocations look like races. What they do through the intercepted calls is left out; our code
// stays checked.
//
// LeakSanitizer: Qt, fontconfig and the platform plugins keep caches until exit (and some for
// good); allocations made inside them are not ours. Leaks from our own code are still reported.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n";
}
#endif

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libQt6Core.so\n"
           "leak:libQt6Gui.so\n"
           "leak:libQt6Widgets.so\n"
           "leak:libQt6PrintSupport.so\n"
           "leak:libqoffscreen.so\n"
           "leak:libqxcb.so\n"
           "leak:libfontconfig.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libdbus-1.so\n";
}
#endif
