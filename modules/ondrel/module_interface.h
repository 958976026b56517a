#pragma once
/// The entry points and callbacks through which the program drives a calculation module (C linkage,
/// undecorated names). A standard handle is a file descriptor here.

/// The callback and entry-point types are the program's own, so that module and program cannot disagree.
#include <type_traits>

#include "crunch/module_interface.h"

/// Marks what the library exports; everything else stays hidden.
#define ONDREL_EXPORT __attribute__((visibility("default")))

using ShouldThreadStopFunc = zelvor::ShouldThreadStopFn;
using ModuleVariablesAreReadyFunc = zelvor::ModuleVariablesAreReadyFn;
using GraphIsReadyFunc = zelvor::GraphIsReadyFn;
using GetRedirStdIOHandlesFunc = zelvor::GetRedirStdIOHandlesFn;
using CrashHookFunc = zelvor::CrashHookFn;

extern "C" {

/// User-interface thread, before every start.
ONDREL_EXPORT void SetCallBackFuncAddresses(ShouldThreadStopFunc shouldThreadStop, ModuleVariablesAreReadyFunc variablesReady,
                              GraphIsReadyFunc graphReady, GetRedirStdIOHandlesFunc stdioHandles,
                              CrashHookFunc crashHook);
/// Calculation thread: the whole calculation; returns when asked to stop or told "exit".
ONDREL_EXPORT void BeginCalculation();
/// User-interface thread, after the first readiness report: stores the published data's addresses.
/// Coordinates and cell vectors are arrays of doubles (indirection level 1, precision flag 1).
ONDREL_EXPORT void GetAddressesOfCalculationData(int* atomCount, char*** labels, char** title, void** x, void** y,
                                   void** z, void** cellA, void** cellB, void** cellC,
                                   int* indirectionLevel, int* spare, int* doublePrecision);

/// Settings, from the module settings sheet (user-interface thread). They take effect at the next start.
ONDREL_EXPORT void SetNumberOfAtoms(int count);
ONDREL_EXPORT void SetDensity(double density);
ONDREL_EXPORT void SetTemperature(double temperature);
ONDREL_EXPORT void SetTimeStep(double timeStep);
ONDREL_EXPORT void SetThermostat(int choice);
ONDREL_EXPORT void SetTitle(const char* title);
}

static_assert(std::is_same_v<decltype(&SetCallBackFuncAddresses), zelvor::SetCallBackFuncAddressesFn> &&
              std::is_same_v<decltype(&BeginCalculation), zelvor::BeginCalculationFn> &&
              std::is_same_v<decltype(&GetAddressesOfCalculationData), zelvor::GetAddressesOfCalculationDataFn>);
