#include "events/LevelResourcesRepository.hpp"

namespace mvk {

ContentValues LevelResourcesRepository::columns(const LevelResource& resource) {
    return {
        {std::string(Entry::userId), resource.userId},
        {std::string(Entry::type), rawValue(resource.type)},
        {std::string(Entry::name), resource.name},
        {std::string(Entry::amount), resource.amount},
    };
}

}  // namespace mvk
