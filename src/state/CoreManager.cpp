#include "state/CoreManager.hpp"

#include <utility>

#include "state/CoreHelper.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

CoreManager::CoreManager(std::string applicationKey,
                         std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
                         std::shared_ptr<UserRepositoryProtocol> userRepository)
    : applicationKey_(std::move(applicationKey)),
      projectRepository_(std::move(projectRepository)),
      userRepository_(std::move(userRepository)) {}

std::shared_ptr<Project> CoreManager::createOrActivateProject() {
    const auto found = projectRepository_->get(applicationKey_);
    if (!found) {
        Logger::writeLog(MVKLogLevel::error, "The projects could not be read");
        return nullptr;
    }
    if (*found) {
        return *found;
    }
    auto project = std::make_shared<Project>(applicationKey_);
    projectRepository_->insert(project);
    if (project->idKey < 0) {
        Logger::writeLog(MVKLogLevel::error, "The project could not be saved");
        return nullptr;
    }
    return project;
}

UserActivation CoreManager::createOrActivateUser(const std::string& userId,
                                                 const std::shared_ptr<Project>& project,
                                                 bool isDefault) {
    CoreHelper helper(projectRepository_, userRepository_, project, userId, isDefault);
    helper.createOrActivateUser();
    return helper.finish();
}

UserActivation CoreManager::createOrActivateDefaultUser(const std::string& userId,
                                                        const std::shared_ptr<Project>& project) {
    CoreHelper helper(projectRepository_, userRepository_, project, userId, true);
    helper.createOrActivateDefaultUser();
    return helper.finish();
}

void CoreManager::replaceUserId(const std::shared_ptr<User>& user) {
    if (user) {
        userRepository_->update(user);
    }
}

std::optional<std::vector<std::shared_ptr<User>>> CoreManager::getAllUsers() {
    return userRepository_->list();
}

}  // namespace mvk
