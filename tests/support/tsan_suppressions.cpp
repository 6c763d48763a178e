// Under ThreadSanitizer: Qt's own worker threads (image conversion and drawing in its thread
// pool) synchronise inside the uninstrumented Qt libraries, so their allocations look like races.
// What Qt itself does through the intercepted calls is left out; our code stays checked.
// Linked into every test program, so no environment setting is needed.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n";
}
#endif
