// Not part of the library: linked into the executables that draw (the tool, the drawing tests), since
// the sanitizers look these hooks up in the executable.
// Sanitizer findings inside Mesa's software driver, which is not ours and not instrumented:
// - Mesa 22 loses 24 bytes for every quad strip (gluCylinder, gluDisk) compiled into a display list and
//   deleted again;
// - llvmpipe's rasterizer threads synchronise in ways ThreadSanitizer cannot see.
extern "C" const char* __lsan_default_suppressions() { return "leak:swrast_dri.so\n"; }
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:swrast_dri.so\nrace:swrast_dri.so\n";
}
// LLVM's JIT, which llvmpipe compiles shaders with, holds more locks at once than ThreadSanitizer's
// deadlock detector can track (it aborts with a CHECK failure); data races are still reported.
extern "C" const char* __tsan_default_options() { return "detect_deadlocks=0"; }
