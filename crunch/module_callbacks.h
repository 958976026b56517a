#pragma once
/// The functions a calculation module calls back into the program, all on the calculation thread. Each
/// serves the calculation started last (CNumberCrunching::Active).
namespace zelvor {

/// Application messages the callbacks post to the main window.
inline constexpr unsigned GRAPH_IS_READY_MESSAGE = 0x802E;
inline constexpr unsigned MODULE_VARIABLES_READY_MESSAGE = 0x802F;

/// Blocks while the calculation is paused; true when the module must end.
bool ShouldThreadStop();
/// The module has set up its data (first) or changed them.
void ModuleVariablesAreReady(bool* first);
void GraphIsReady(const char* graphName);
/// The module's ends of the standard-input and standard-output pipes (-1 without redirection).
void GetRedirStdIOHandles(int* stdInputRead, int* stdOutputWrite);

}  // namespace zelvor
