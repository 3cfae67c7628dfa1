#pragma once

#include <memory>
#include <string>

#include "state/CoreManagerProtocol.hpp"
#include "state/ProjectRepositoryProtocol.hpp"
#include "state/UserRepositoryProtocol.hpp"

namespace mvk {

/// The project of one application key and the rules that pick its user. Each
/// user operation runs on a fresh `CoreHelper`.
class CoreManager final : public CoreManagerProtocol {
  public:
    CoreManager(std::string applicationKey,
                std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
                std::shared_ptr<UserRepositoryProtocol> userRepository);

    std::shared_ptr<Project> createOrActivateProject() override;
    UserActivation createOrActivateUser(const std::string& userId,
                                        const std::shared_ptr<Project>& project,
                                        bool isDefault) override;
    UserActivation createOrActivateDefaultUser(const std::string& userId,
                                               const std::shared_ptr<Project>& project) override;
    void replaceUserId(const std::shared_ptr<User>& user) override;
    std::optional<std::vector<std::shared_ptr<User>>> getAllUsers() override;

  private:
    const std::string applicationKey_;
    const std::shared_ptr<ProjectRepositoryProtocol> projectRepository_;
    const std::shared_ptr<UserRepositoryProtocol> userRepository_;
};

}  // namespace mvk
