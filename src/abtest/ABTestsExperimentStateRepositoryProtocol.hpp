#pragma once

#include <memory>

#include "abtest/ABTestsExperimentState.hpp"
#include "storage/UserDataRepositoryProtocol.hpp"

namespace mvk {

/// Each user's standing in each experiment.
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class ABTestsExperimentStateRepositoryProtocol
    : public UserDataRepositoryProtocol<std::shared_ptr<ABTestsExperimentState>> {};

}  // namespace mvk
