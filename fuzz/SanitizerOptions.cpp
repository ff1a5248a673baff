// Built into every fuzz target. The targets and the modules they load share
// the sanitizer runtime as a shared library; the fuzzing engine's own C++
// library comes before it in the program's list of libraries, which is
// harmless (nothing there defines the allocation functions the runtime
// replaces) but trips the runtime's start-up check of that order.
extern "C" const char* __asan_default_options()
{
    return "verify_asan_link_order=0";
}
