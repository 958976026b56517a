#pragma once
/// CDocCalculation: what a document and its views ask of the calculation that fills the document, if any.
#include <string>

namespace zelvor {

class CDocCalculation {
public:
    /// True while the calculation counts as running (not stopped, not finished).
    virtual bool IsNumberCrunching() = 0;
    /// Copies the calculation's current values into frame 0; first only for the first copy.
    virtual void UpdateNumberCrunchingCoordinates(bool first) = 0;
    /// Ends a running calculation (the document closes).
    virtual void ShutDownNumberCrunching() = 0;
    /// The library file name of the chosen calculation.
    virtual std::string GetTypeOfNumberCrunching() const = 0;

protected:
    ~CDocCalculation() = default;
};

}  // namespace zelvor
