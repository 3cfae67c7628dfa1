#pragma once

#include <memory>

#include "records/ABTestsExperiment.hpp"
#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// The project's experiments as last received.
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class ABTestsExperimentRepositoryProtocol
    : public RepositoryProtocol<std::shared_ptr<ABTestsExperiment>> {};

}  // namespace mvk
