#pragma once

#include <memory>

#include "mvk/MVKStore.hpp"

namespace mvk {

/// The store the host installed, process-wide. A core takes it when it builds
/// its services, so a store installed after `initialize` serves the next core.
class Store {
  public:
    Store() = delete;

    /// The host's store, or the default one, which never answers.
    static std::shared_ptr<MVKStore> current();
    /// Null puts the default store back.
    static void install(std::shared_ptr<MVKStore> store);
};

}  // namespace mvk
