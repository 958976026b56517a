#pragma once
/// Starts the helper program from the crashed process and waits for its answer: a raw clone and execve,
/// since glibc's fork() takes the malloc locks and runs fork handlers that a stopped thread may block.
namespace zelvor::grelt {

/// Async-signal-safe. Runs path with argv (null-terminated) and the process's environment, waits for it and
/// returns its exit status; -1 when it could not be started or did not exit normally. SIGCHLD is set to the
/// default for the while: ignored, the kernel would reap the child and its status would be lost.
int RunHelper(const char* path, char* const* argv);

}  // namespace zelvor::grelt
