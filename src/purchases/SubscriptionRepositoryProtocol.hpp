#pragma once

#include <memory>

#include "purchases/SubscriptionInfo.hpp"
#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// The subscription state, one row per project.
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class SubscriptionRepositoryProtocol
    : public RepositoryProtocol<std::shared_ptr<SubscriptionInfo>> {};

}  // namespace mvk
