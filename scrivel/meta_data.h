#pragma once
/// MetaData: the settings of one slider-scroller control, as InitScrivel gives them to a control and as the
/// module list describes the slider of a calculation's variable. Plain data, so that toolkit-free code keeps it.
#include <cstdint>
#include <string>

namespace zelvor {

struct MetaData {
    virtual ~MetaData() = default;

    double minimum = 0.0;
    double maximum = 0.0;
    double smallChange = 0.0;
    double largeChange = 0.0;
    std::string description;
    std::string unitDescription;
    std::int32_t precision = 3;
    /// The double that holds the control's value (owned elsewhere).
    double* value = nullptr;
    std::int32_t reserved = 0;
    /// The control's font (empty family: none known).
    std::string fontFamily;
    double fontPointSize = 0.0;
};

}  // namespace zelvor
