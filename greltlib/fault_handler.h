#pragma once
/// The fault signals' handler: claims the fault, stops the other threads, writes the report header and the
/// dump, runs the helper program and then ends the process with -42, or, for a diagnostic thread, lets the
/// others run on and keeps the faulting thread parked for good.
namespace zelvor::grelt {

/// The stop signal the other threads receive while a fault is handled.
int StopSignal();

/// Installs the handlers (SA_ONSTACK | SA_SIGINFO | SA_NODEFER) for every fault signal. When remember is
/// true, the actions they replace become the ones RestoreFaultHandlers puts back. Returns the SIGSEGV action
/// replaced (handler or sigaction pointer).
void* InstallFaultHandlers(bool remember);
void RestoreFaultHandlers();

}  // namespace zelvor::grelt
