#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "foundation/Clock.hpp"
#include "foundation/ManualClock.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "services/ServiceFakes.hpp"
#include "state/ProjectRepository.hpp"
#include "state/RealPaymentRepository.hpp"
#include "state/TutorialRepository.hpp"
#include "state/UserRepository.hpp"
#include "storage/SQLiteProvider.hpp"
#include "support/LogCapture.hpp"
#include "support/TempDir.hpp"

namespace mvk::test {

/// Services over a real database in a fresh directory, on a clock the test
/// moves. The state manager's project and users are stored rows, shared with
/// the repositories' caches as in the library.
class ServiceStoreTest : public ::testing::Test {
  protected:
    ServiceStoreTest() {
        Clock::install(clock);
        projects->insert(state->project);
        for (const auto& user : state->users) {
            user->projectId = state->project->idKey;
            users->insert(user);
        }
        state->project->activeUserId = state->user->idKey;
        projects->update(state->project);
    }
    ~ServiceStoreTest() override {
        Clock::install(nullptr);
        ApplicationSupportDirectory::setOverride(std::nullopt);
    }

    /// The users row as stored, read past every cache.
    std::shared_ptr<User> storedUser(std::int64_t idKey) const {
        auto rows = UserRepository(database).list().value();
        for (const auto& user : rows) {
            if (user->idKey == idKey) {
                return user;
            }
        }
        return nullptr;
    }
    std::shared_ptr<Project> storedProject() const {
        return ProjectRepository(database).get(state->project->applicationKey()).value();
    }

    LogCapture log{MVKLogLevel::debug};
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    TempDir dir;
    std::shared_ptr<DatabaseProtocol> database = [this] {
        ApplicationSupportDirectory::setOverride(dir.path());
        return std::make_shared<SQLiteProvider>("app-key");
    }();
    std::shared_ptr<ProjectRepository> projects = std::make_shared<ProjectRepository>(database);
    std::shared_ptr<UserRepository> users = std::make_shared<UserRepository>(database);
    std::shared_ptr<TutorialRepository> tutorials = std::make_shared<TutorialRepository>(database);
    std::shared_ptr<RealPaymentRepository> payments =
        std::make_shared<RealPaymentRepository>(database);
    std::shared_ptr<FakeStateManager> state = std::make_shared<FakeStateManager>();
};

}  // namespace mvk::test
