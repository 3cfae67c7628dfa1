#pragma once

#include <memory>

#include "state/DeviceIdentifiers.hpp"
#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// The rows of "deviceIdentifiers", one per project.
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class IdentifiersRepositoryProtocol
    : public RepositoryProtocol<std::shared_ptr<DeviceIdentifiers>> {};

}  // namespace mvk
