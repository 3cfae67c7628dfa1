#pragma once

#include <memory>

#include "state/SdkTools.hpp"
#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// The row of "sdkTools".
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class ToolsRepositoryProtocol : public RepositoryProtocol<std::shared_ptr<SdkTools>> {};

}  // namespace mvk
