#pragma once
/// Ending a calculation thread by force, as a module that never returns must be ended: the thread stops where
/// it is, without unwinding (unwinding from an arbitrary instruction of C++ code ends the whole process), and
/// only while it runs module code, never while it runs the program's callbacks (whose locks would stay held).
#include <sys/types.h>

namespace zelvor {

/// Installs the signal handler that ends a thread (once per process; idempotent).
void InstallForcedThreadEnd();

/// Marks the calling thread as running module code: from now on a forced end stops it at once. A forced end
/// asked for while it ran the program's own code takes effect here. Returns the previous marking.
bool EnterModuleCode();
/// Marks the calling thread as running the program's code; returns the previous marking.
bool LeaveModuleCode();
/// Restores a marking returned by EnterModuleCode or LeaveModuleCode.
void RestoreModuleCode(bool inModuleCode);

/// Asks thread tid of this process to end; false when it does not exist. It ends when it next runs module code.
bool EndThreadByForce(pid_t tid);
/// True once thread tid of this process has ended.
bool ThreadHasEnded(pid_t tid);

}  // namespace zelvor
