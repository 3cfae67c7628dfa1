#include "records/ABTestsExperimentRepository.hpp"

#include <vector>

#include "foundation/Logger.hpp"
#include "storage/EncodeOrDefault.hpp"

namespace mvk {

namespace {

template <class T>
std::optional<std::string> listColumn(const ABTestsExperiment& experiment,
                                      const std::vector<T>& list, std::string_view column) {
    return encodeOrDefault(list, std::vector<T>{}, [&] {
        Logger::writeLog(MVKLogLevel::error,
                         "Couldn't encode the " + std::string(column) + " of experiment " +
                             std::to_string(experiment.experimentId) + "; storing an empty list");
    });
}

}  // namespace

ContentValues ABTestsExperimentRepository::columns(const ABTestsExperiment& experiment) {
    return {
        {std::string(Entry::projectId), experiment.projectId},
        {std::string(Entry::experimentId), experiment.experimentId},
        {std::string(Entry::creationDate), experiment.creationDate},
        {std::string(Entry::updateDate), experiment.updateDate},
        {std::string(Entry::completionDate), experiment.completionDate},
        {std::string(Entry::isTesting), experiment.isTesting},
        {std::string(Entry::parameters),
         listColumn(experiment, experiment.parameters, Entry::parameters)},
        {std::string(Entry::conditions),
         listColumn(experiment, experiment.conditions, Entry::conditions)},
    };
}

}  // namespace mvk
