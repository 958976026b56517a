#pragma once
/// CalculationStdIO: a calculation module's standard input and output, as the calculation uses them.
#include <cstddef>
#include <string>

namespace zelvor {

/// The module's standard input and output as the calculation uses them (the redirection of the process's
/// standard handles implements it; tests give their own).
class CalculationStdIO {
public:
    virtual ~CalculationStdIO() = default;
    /// Queues bytes for the module's standard input; false when nothing can be sent now.
    virtual bool FeedText2Stdin(const char* text, std::size_t length) = 0;
    virtual void FeedFile2Stdin(const std::string& path) = 0;
    /// Drops the module's unread standard input; true when anything was waiting.
    virtual bool FlushPendingStdInput() = 0;
    /// The module's ends of the two pipes.
    virtual int StdinRead() const = 0;
    virtual int StdoutWrite() const = 0;
};

}  // namespace zelvor
