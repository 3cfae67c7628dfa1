#include "purchases/AntiCheatLogic.hpp"

#include <utility>

namespace mvk {

std::shared_ptr<AntiCheatServiceProctocol> AntiCheatLogic::antiCheatService() const {
    std::lock_guard lock(mutex_);
    return antiCheatService_;
}

void AntiCheatLogic::setAntiCheatService(std::shared_ptr<AntiCheatServiceProctocol> service) {
    std::lock_guard lock(mutex_);
    std::swap(antiCheatService_, service);
}

}  // namespace mvk
