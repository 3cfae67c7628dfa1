#include "messaging/MessagingService.hpp"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <utility>

#include "foundation/Logger.hpp"
#include "foundation/SdkConstraints.hpp"
#include "records/MessagingRequestObject.hpp"

namespace mvk {

namespace {

bool holdsId(const std::vector<MessagingCategory>& categories, const std::string& id) {
    return std::any_of(categories.begin(), categories.end(),
                       [&](const MessagingCategory& category) { return category.id == id; });
}

}  // namespace

MessagingService::MessagingService(
    std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
    std::shared_ptr<MessagingCategoryRepositoryProtocol> messagingCategoryRepository,
    std::shared_ptr<BackendProtocol> backend, SerialQueue& incomeQueue, SerialQueue& messagingQueue)
    : stateManager_(std::move(stateManager)),
      projectRepository_(std::move(projectRepository)),
      messagingCategoryRepository_(std::move(messagingCategoryRepository)),
      backend_(std::move(backend)),
      incomeQueue_(incomeQueue),
      messagingQueue_(messagingQueue) {}

void MessagingService::stop() {
    stopped_ = true;
}

std::optional<std::vector<MessagingCategory>> MessagingService::loadStoredCategoties() {
    return messagingCategoryRepository_->list();
}

void MessagingService::getPushCategories(MessagingProtocol::CategoriesCompletion completion) {
    const auto project = stateManager_->getActiveProject();
    const auto user = stateManager_->getActiveUser();
    auto identifiers = stateManager_->getIdentifiers(*user);

    auto stored = loadStoredCategoties();
    if (!stored) {
        // Merging an answer into a list that could not be read would store
        // every category a second time.
        Logger::writeLog(MVKLogLevel::error,
                         "[Messaging Module] Can't read the stored push categories");
        completion({});
        return;
    }

    MessagingRequestObject request{
        .sdkVersion = SdkConstraints::sdkVersion(),
        .appVersion = stateManager_->getAppData().applicationVersion,
        .categoriesVersion = project->categoriesVersion.value_or(0),
        .language = stateManager_->getDeviceData().language,
    };

    messagingQueue_.addOperation(
        [weak = weak_from_this(), applicationKey = project->applicationKey(),
         stored = std::move(*stored), request = std::move(request),
         identifiers = std::move(identifiers), completion = std::move(completion)] {
            auto service = weak.lock();
            if (!service || service->stopped_ || !service->backend_->hasGateway()) {
                completion(stored);
                return;
            }
            Logger::writeLog(MVKLogLevel::debug,
                             "[Messaging Module] Trying to get push categories from the server");
            const auto config =
                service->backend_->requestMessagingConfig(applicationKey, request, identifiers);
            if (!config || service->stopped_) {
                completion(stored);
                return;
            }
            completion(service->updateSavedConfig(*config, stored));
        });
}

std::vector<MessagingCategory> MessagingService::updateSavedConfig(
    const MessagingConfig& config, const std::vector<MessagingCategory>& currentCategories) {
    auto all = currentCategories;
    std::vector<MessagingCategory> fresh;
    for (const auto& category : config.categories) {
        if (!holdsId(all, category.id)) {
            all.push_back(category);
            fresh.push_back(category);
        }
    }

    // Every removed id goes to the table, known here or not: a request in
    // flight beside this one may have stored it since the list was read.
    std::unordered_set<std::string> removedIds;
    std::size_t removedCount = 0;
    for (const auto& id : config.removed.value_or(std::vector<std::string>{})) {
        if (removedIds.insert(id).second && holdsId(all, id)) {
            ++removedCount;
        }
    }

    // A category the same answer adds and removes is never stored.
    std::vector<MessagingCategory> toSave;
    for (const auto& category : fresh) {
        if (!removedIds.contains(category.id)) {
            toSave.push_back(category);
        }
    }

    const auto toSaveCount = toSave.size();
    incomeQueue_.addOperation([weak = weak_from_this(), toSave = std::move(toSave), removedIds,
                               version = config.version] {
        auto service = weak.lock();
        if (!service || service->stopped_) {
            return;
        }
        service->saveCategories(toSave);
        service->removeCategories(removedIds);
        service->updateProject(version);
    });

    Logger::writeLog(MVKLogLevel::debug,
                     "[Messaging Module] Update push categories:\n\tsaved new categories: [" +
                         std::to_string(toSaveCount) + "]\n\tremoved categories [" +
                         std::to_string(removedCount) + "]\n\tcurrent categories version: [" +
                         std::to_string(config.version) + "]");

    std::erase_if(all, [&](const MessagingCategory& c) { return removedIds.contains(c.id); });
    return all;
}

void MessagingService::saveCategories(const std::vector<MessagingCategory>& categories) {
    if (categories.empty()) {
        return;
    }
    // Two requests in flight both merge into the list as it was read, so both
    // answers may bring the same new category: it is stored once.
    const auto stored = loadStoredCategoties();
    if (!stored) {
        Logger::writeLog(MVKLogLevel::error,
                         "[Messaging Module] Can't read the stored push categories; the new ones "
                         "are not saved");
        return;
    }
    for (const auto& category : categories) {
        if (holdsId(*stored, category.id)) {
            continue;
        }
        if (!messagingCategoryRepository_->insert(category)) {
            Logger::writeLog(MVKLogLevel::error,
                             "[Messaging Module] Can't save the push category " + category.id);
        }
    }
}

void MessagingService::removeCategories(const std::unordered_set<std::string>& ids) {
    if (ids.empty()) {
        return;
    }
    // Every row with a removed id goes: one left behind would be handed to
    // the host for good.
    auto rows = loadStoredCategoties();
    if (rows) {
        std::erase_if(*rows, [&](const MessagingCategory& row) { return !ids.contains(row.id); });
    }
    if (!rows || (!rows->empty() && !messagingCategoryRepository_->deleteItems(*rows))) {
        Logger::writeLog(MVKLogLevel::error, "[Messaging Module] Can't remove the push categories");
    }
}

void MessagingService::updateProject(std::int64_t version) {
    auto project = stateManager_->getActiveProject();
    project->categoriesVersion = version;
    if (!projectRepository_->update(project)) {
        Logger::writeLog(MVKLogLevel::error,
                         "[Messaging Module] Can't store the push categories version");
    }
}

}  // namespace mvk
