#pragma once

#include <memory>

#include "analytics/Report.hpp"
#include "storage/UserDataRepositoryProtocol.hpp"

namespace mvk {

/// The packed reports waiting for the gateway, per user.
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class ReportsRepositoryProtocol : public UserDataRepositoryProtocol<std::shared_ptr<Report>> {};

}  // namespace mvk
