#pragma once

#include <memory>
#include <string>

#include "state/Project.hpp"
#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// The rows of "projects", looked up by application key.
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class ProjectRepositoryProtocol : public RepositoryProtocol<std::shared_ptr<Project>, std::string> {
};

}  // namespace mvk
