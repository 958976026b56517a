#pragma once
/// CRedirectStdIO: the process's standard input, output and error become pipes whose other ends Zelvor keeps,
/// so that calculation modules running in this process can be given input and their output drained.
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "crunch/calculation_stdio.h"

namespace zelvor {

class CStdinWriter;

class CRedirectStdIO : public CalculationStdIO {
public:
    /// Creates both pipes and makes the input pipe's read end fd 0 and the output pipe's write end fd 1 and 2
    /// (stdin/stdout/stderr C and C++ streams unbuffered). Failures are written to the message stream with the texts
    /// "Stdout pipe creation failed", "Stdin pipe creation failed", "DuplicateHandle failed", "Redirecting Stdin failed",
    /// "Redirecting STDOUT failed", "Redirecting STDERR failed" (each followed by an end of line) and set-up goes on.
    CRedirectStdIO();
    /// Stops the reader (wakes it by writing "in CRedirectStdIO::~CRedirectStdIO()\n" to its own stdout) and the
    /// writer, joins both, closes the pipe ends. Descriptors 0, 1 and 2 are left on /dev/null, so that later output
    /// neither raises SIGPIPE nor lands in a file that reuses a freed descriptor.
    ~CRedirectStdIO() override;
    CRedirectStdIO(const CRedirectStdIO&) = delete;
    CRedirectStdIO& operator=(const CRedirectStdIO&) = delete;

    /// Starts the reader thread once (later calls do nothing). Each chunk read (at most 999 bytes) goes to sink when
    /// given, else it is dropped. The sink runs on the reader thread.
    void StartStdOutThrd(std::function<void(std::string_view)> sink = {});
    /// Whether a calculation runs (injected by the owner; the feed refuses input otherwise). Default: always true.
    void SetCalculationRunning(std::function<bool()> running);
    /// Queues the bytes for the module's standard input and returns true, when the reader thread is alive (so the
    /// module's output cannot fill up and stall it) and a calculation runs; otherwise false and nothing is sent.
    /// Never blocks the caller on a full pipe.
    bool FeedText2Stdin(const char* text, std::size_t length) override;
    /// Sends a file's bytes to the module's standard input (queued, chunks of up to 1000 bytes). A missing file is
    /// created empty (nothing sent); a file that cannot be opened writes "no input file" + end of line to the
    /// message stream.
    void FeedFile2Stdin(const std::string& path) override;
    /// Drops what the module has not read of its standard input yet (in the pipe or still queued), writing it to
    /// standard output; true when anything was waiting.
    bool FlushPendingStdInput() override;
    /// The module's ends: read end of the input pipe (fd 0 after set-up) and write end of the output pipe.
    int StdinRead() const override;
    int StdoutWrite() const override;
    /// True while the reader thread is inside its blocking read.
    bool IsReading() const;

private:
    void CreatePipeHandles();
    void RedirectHandles();
    void ReadMyPipe();
    /// Delivers one chunk of at most 999 bytes; false when the pipe is gone.
    bool SuckTextFromStdout(char* buffer);
    void WakeAndJoinReader();
    void WriteToStdout(std::string_view text) const;

    int stdinWrite_ = -1;     // Zelvor writes the module's input here (close-on-exec)
    int stdoutRead_ = -1;     // the reader thread reads here (close-on-exec)
    int savedStdin_ = -1;     // the process's standard input and output before redirection
    int savedStdout_ = -1;
    int stdinRead_ = -1;      // the process's standard input
    int stdoutWrite_ = -1;    // the process's standard output and standard error
    int stdinPeek_ = -1;      // the input pipe's read end, opened again non-blocking to drop unread input
    int readerWake_ = -1;     // eventfd that ends the reader's wait at shutdown
    bool stdinRedirected_ = false;
    bool stdoutRedirected_ = false;
    bool stderrRedirected_ = false;

    std::mutex readerStartMutex_;
    std::function<void(std::string_view)> sink_;  // set before the reader starts, then only used by it
    std::atomic<bool> readerAlive_{false};
    std::atomic<bool> reading_{false};
    std::atomic<bool> stopReader_{false};
    std::thread reader_;

    mutable std::mutex runningMutex_;
    std::function<bool()> calculationRunning_;

    std::unique_ptr<CStdinWriter> writer_;
};

}  // namespace zelvor
