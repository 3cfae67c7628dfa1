#pragma once

#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

#include "abtest/ABTestManager.hpp"
#include "abtest/ABTestsExperimentStateRepository.hpp"
#include "abtest/ABTestsProjectRepository.hpp"
#include "records/ABTestsExperimentRepository.hpp"
#include "services/ServiceStoreTest.hpp"
#include "storage/SQLiteProvider.hpp"

namespace mvk::test {

/// The A/B tables over a real database, with a second user in the project,
/// and the rows read back through a fresh provider.
class ABStoreTest : public ServiceStoreTest {
  public:
    /// (experimentId, updateDate, completionDate, isTesting, projectId)
    using ExperimentRow = std::tuple<std::int64_t, std::int64_t, std::int64_t, bool, std::int64_t>;
    /// (userId, experimentId, runAbility, involved group or "")
    using StateRow = std::tuple<std::int64_t, std::int64_t, bool, std::string>;

    ABStoreTest() {
        other->projectId = state->project->idKey;
        users->insert(other);
    }

    static ABTestsExperiment experiment(std::int64_t id, std::int64_t updateDate = 1,
                                        std::int64_t completionDate = 0, bool testing = false) {
        return ABTestsExperiment{.experimentId = id,
                                 .creationDate = 1,
                                 .updateDate = updateDate,
                                 .completionDate = completionDate,
                                 .isTesting = testing};
    }
    void storeExperiment(const ExperimentRow& row) {
        auto stored = std::make_shared<ABTestsExperiment>(
            experiment(std::get<0>(row), std::get<1>(row), std::get<2>(row), std::get<3>(row)));
        stored->projectId = std::get<4>(row);
        experiments->insert(stored);
    }
    void storeState(const StateRow& row) {
        ABTestsExperimentState stored{.userId = std::get<0>(row),
                                      .experimentId = std::get<1>(row),
                                      .runAbility = std::get<2>(row)};
        if (!std::get<3>(row).empty()) {
            stored.involvement =
                ExperimentMarker{.idKey = std::get<1>(row), .group = std::get<3>(row)};
        }
        states->insert(std::make_shared<ABTestsExperimentState>(stored));
    }

    std::vector<ExperimentRow> storedExperiments() const {
        std::vector<ExperimentRow> rows;
        const auto stored = ABTestsExperimentRepository(reopened()).list();
        for (const auto& row : stored.value()) {
            rows.emplace_back(row->experimentId, row->updateDate, row->completionDate,
                              row->isTesting, row->projectId);
        }
        return rows;
    }
    std::vector<StateRow> storedStates() const {
        std::vector<StateRow> rows;
        const auto stored = ABTestsExperimentStateRepository(reopened()).list();
        for (const auto& row : stored.value()) {
            rows.emplace_back(row->userId, row->experimentId, row->runAbility,
                              row->involvement ? row->involvement->group : "");
        }
        return rows;
    }
    std::shared_ptr<DatabaseProtocol> reopened() const {
        return std::make_shared<SQLiteProvider>("app-key");
    }

    std::int64_t me() const { return state->user->idKey; }
    std::int64_t project() const { return state->project->idKey; }

    std::shared_ptr<User> other = state->addUser("player-2");
    std::shared_ptr<ABTestManager> manager = std::make_shared<ABTestManager>();
    std::shared_ptr<ABTestsProjectRepository> abProjects =
        std::make_shared<ABTestsProjectRepository>(database);
    std::shared_ptr<ABTestsExperimentRepository> experiments =
        std::make_shared<ABTestsExperimentRepository>(database);
    std::shared_ptr<ABTestsExperimentStateRepository> states =
        std::make_shared<ABTestsExperimentStateRepository>(database);
};

}  // namespace mvk::test
