#include "state/ProjectRepository.hpp"

namespace mvk {

ContentValues ProjectRepository::columns(const Project& project) {
    return project.contentValues();
}

bool ProjectRepository::matchesKey(const Project& project, const std::string& applicationKey) {
    return project.applicationKey() == applicationKey;
}

}  // namespace mvk
