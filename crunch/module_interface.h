#pragma once
/// The functions a calculation module exports and the callbacks it is given, as C function pointers.
#include <cstdint>

namespace zelvor {

extern "C" {
/// Callbacks handed to the module before each start.
using ShouldThreadStopFn = bool (*)();
using ModuleVariablesAreReadyFn = void (*)(bool* first);
using GraphIsReadyFn = void (*)(const char* graphName);
/// Read end of the module's standard-input pipe, write end of its standard-output pipe.
using GetRedirStdIOHandlesFn = void (*)(int* stdInputRead, int* stdOutputWrite);
/// The crash handler's UseMyGreltHandler, or null without the crash-handler library.
using CrashHookFn = void* (*)();

/// The three required entry points (their exported names may be renamed by the module list).
using SetCallBackFuncAddressesFn = void (*)(ShouldThreadStopFn, ModuleVariablesAreReadyFn, GraphIsReadyFn,
                                            GetRedirStdIOHandlesFn, CrashHookFn);
using BeginCalculationFn = void (*)();
/// The module stores into each target: the atom count, its label array, its title, where its x, y, z and cell
/// vectors a, b, c lie (doubles or floats as the precision flag says, arrays of values or of pointers as the
/// indirection level says), the indirection level, a spare int and the precision flag. The program then
/// reads the coordinates through the stored pointers while the calculation runs.
using GetAddressesOfCalculationDataFn = void (*)(int* atomCount, char*** labels, char** title, void** x, void** y,
                                                 void** z, void** cellA, void** cellB, void** cellC,
                                                 int* indirectionLevel, int* spare, int* precisionFlag);

/// Setters of the settings pages, one per input kind.
using RealSetterFn = void (*)(double value);
using IntegerSetterFn = void (*)(std::int32_t value);
using StringSetterFn = void (*)(const char* value);

/// Functions of result, variable and graph items: bound so that their absence is reported, never called.
using ModuleFunction = void (*)();
}

}  // namespace zelvor
