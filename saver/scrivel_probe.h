#pragma once
/// The start-up check that the slider-scroller control can be created.

namespace zelvor {

/// Creates one invisible Scrivel control by its class id and destroys it again; false when it can't be
/// created. The libscrivel.so beside the program is registered first when the class is not registered to
/// it, as installing this program would do.
bool ProbeScrivelControl();

}  // namespace zelvor
