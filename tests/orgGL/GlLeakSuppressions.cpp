// LeakSanitizer's built-in suppressions for the programs that open an X window: libX11
// keeps a couple of strdup'ed locale strings for the life of the process.
// Visible, so the sanitizer runtime finds it despite the project's hidden-by-default symbols.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libX11.so\n";
}
