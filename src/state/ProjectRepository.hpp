#pragma once

#include "state/ProjectRepositoryProtocol.hpp"
#include "storage/Repository.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

class ProjectRepository final : public Repository<ProjectRepository, ProjectRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::ProjectEntry;
    using Repository::Repository;

    static ContentValues columns(const Project& project);
    /// `get` takes the application key.
    static bool matchesKey(const Project& project, const std::string& applicationKey);
};

}  // namespace mvk
