#pragma once
/// CDocCalculation: what a document and its views ask of the calculation that fills the document, if any.
#include <string>

namespace zelvor {

class CDocCalculation {
public:
    /// True while the calculation counts as running (not stopped, not finished).
    virtual bool IsNumberCrunching() = 0;
    /// The polling view's step: copies the calculation's current atoms into frame 0 and returns true, or
    /// returns false once the calculation no longer runs.
    virtual bool Poll() = 0;
    /// What the polling view says when Poll found the calculation ended.
    virtual std::string FinishedText() const = 0;
    /// Ends a running calculation (the document closes).
    virtual void ShutDownNumberCrunching() = 0;
    /// The library file name of the chosen calculation.
    virtual std::string GetTypeOfNumberCrunching() const = 0;

protected:
    ~CDocCalculation() = default;
};

}  // namespace zelvor
