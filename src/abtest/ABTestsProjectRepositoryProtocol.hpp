#pragma once

#include <memory>

#include "abtest/ABTestsProject.hpp"
#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// The experiment configuration version and user properties, per project.
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class ABTestsProjectRepositoryProtocol
    : public RepositoryProtocol<std::shared_ptr<ABTestsProject>> {};

}  // namespace mvk
