// Linked into the test programs that keep Mesa's software driver running until exit. LeakSanitizer's
// end-of-run thread scan crashes ("Tracer caught signal 11") on the driver's rasterizer threads and their
// dynamic thread-local storage, depending only on the memory layout (even the working folder's name moves it):
// the leak check at exit is left out here; every other AddressSanitizer check stays on.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }
