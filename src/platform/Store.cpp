#include "platform/Store.hpp"

#include <mutex>
#include <utility>

#include "platform/DefaultStore.hpp"

namespace mvk {

namespace {

struct Slot {
    std::mutex mutex;
    std::shared_ptr<MVKStore> store;
};

// Never destroyed: a library thread may still ask for the store at exit.
Slot& slot() {
    static auto* instance = new Slot{};
    return *instance;
}

}  // namespace

std::shared_ptr<MVKStore> Store::current() {
    {
        std::lock_guard lock(slot().mutex);
        if (slot().store) {
            return slot().store;
        }
    }
    // Leaked like the slot: a library thread may still ask for it at exit.
    static const auto* defaultStore =
        new std::shared_ptr<MVKStore>(std::make_shared<DefaultStore>());
    return *defaultStore;
}

void Store::install(std::shared_ptr<MVKStore> store) {
    std::shared_ptr<MVKStore> replaced;
    {
        std::lock_guard lock(slot().mutex);
        replaced = std::exchange(slot().store, std::move(store));
    }
    // The host's object may run its own code when released; not under our lock.
    replaced.reset();
}

}  // namespace mvk
