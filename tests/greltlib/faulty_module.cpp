// A module of "outside" code for the crash handler's tests: loaded with dlopen and registered as tagged, it
// faults on request with locals of several kinds in its frame. Built without optimisation or sanitizers,
// so that every local lives in the frame and the null write reaches the crash handler.
namespace {

struct Sample {
    int count;
    double weight;
};

// Not a tail call at -O0: every level keeps its frame.
int RecurseThenFault(int depth) {
    volatile int* target = nullptr;
    if (depth == 0) *target = 1;
    return depth == 0 ? 0 : RecurseThenFault(depth - 1) + 1;
}

}  // namespace

/// mode 1: writes through a null pointer. mode 2: does so 400 calls deep. Any other mode returns a value
/// computed from the locals.
extern "C" __attribute__((visibility("default"))) int FaultyModuleEntry(int mode, double scale, const char* label) {
    int counter = 7;
    double ratio = scale * 2.0;
    float fraction = 0.25f;
    const char* text = "faulty module text";
    Sample sample{3, 1.5};
    char letter = 'Z';
    volatile int* target = nullptr;
    if (mode == 1) *target = counter;  // GRELT_FAULT_LINE
    if (mode == 2) counter += RecurseThenFault(400);
    return counter + static_cast<int>(ratio + fraction + sample.weight) + letter + sample.count + text[0] +
           (label ? label[0] : 0);
}
