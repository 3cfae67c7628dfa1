#pragma once

#include <cstdint>

#include "mvk/Export.hpp"

namespace mvk {

/// Implemented by the host to hear the backend's identifier for the player.
/// Override only what you need: the library calls every method, and the
/// default bodies do nothing. Calls come from a library thread, never while
/// the library holds a lock, so a listener may call back into the library.
class MVK_EXPORT MVKIdentifiersListener {
  public:
    virtual ~MVKIdentifiersListener();

    /// The backend's identifier of the current player, when it is first
    /// known, when it changes, and once at once after the listener is set.
    virtual void didReceiveMorvanixIdWith(std::int64_t morvanixId);

  protected:
    MVKIdentifiersListener() = default;
    MVKIdentifiersListener(const MVKIdentifiersListener&) = default;
    MVKIdentifiersListener& operator=(const MVKIdentifiersListener&) = default;
};

}  // namespace mvk
