#include "foundation/CoppaControl.hpp"

#include <atomic>

namespace mvk {

namespace {

// Trivially destructible, so library threads may still read it while the
// process exits.
std::atomic<bool> enabled{false};

}  // namespace

bool CoppaControl::isEnabled() {
    return enabled.load();
}

void CoppaControl::enable() {
    enabled.store(true);
}

void CoppaControl::resetForTesting() {
    enabled.store(false);
}

}  // namespace mvk
