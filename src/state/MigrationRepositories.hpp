#pragma once

#include <memory>

#include "storage/DatabaseProtocol.hpp"
#include "records/PeopleRepositoryProtocol.hpp"
#include "state/ProjectRepositoryProtocol.hpp"
#include "state/RealPaymentRepositoryProtocol.hpp"
#include "state/TutorialRepositoryProtocol.hpp"
#include "state/UserRepositoryProtocol.hpp"

namespace mvk {

/// What the legacy import writes through: the five repositories and the
/// database whose transaction makes the import all or nothing. All share one
/// database.
struct MigrationRepositories {
    std::shared_ptr<DatabaseProtocol> database;
    std::shared_ptr<ProjectRepositoryProtocol> projects;
    std::shared_ptr<UserRepositoryProtocol> users;
    std::shared_ptr<PeopleRepositoryProtocol> people;
    std::shared_ptr<RealPaymentRepositoryProtocol> payments;
    std::shared_ptr<TutorialRepositoryProtocol> tutorials;
};

}  // namespace mvk
