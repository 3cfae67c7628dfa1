#include "state/SDKMigrationManager.hpp"

#include <utility>
#include <vector>

#include "foundation/JsonCoding.hpp"
#include "foundation/Logger.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "state/LegacyFileReader.hpp"
#include "state/LegacyKeyedArchive.hpp"
#include "state/UsersStoragesMigration.hpp"

namespace mvk {

namespace {

constexpr std::string_view nativeFolderPrefix = "morvanix_";
constexpr std::string_view nativeFileName = "UsersStorage";
constexpr std::string_view unityFolderName = "morvanix";

/// The key names folders; one that could leave them must not be used as a path.
bool isSafePathComponent(const std::string& key) {
    return !key.empty() && key != "." && key != ".." &&
           key.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

/// A log line held back until the transaction is over: the log may call the
/// host, which must never run under the database's lock.
struct PendingLine {
    MVKLogLevel level;
    std::string text;
    bool onlyWhenCommitted;
};

}  // namespace

SDKMigrationManager::SDKMigrationManager(MigrationRepositories repositories,
                                         std::string applicationKey)
    : repositories_(std::move(repositories)), applicationKey_(std::move(applicationKey)) {}

void SDKMigrationManager::migrateUserData(const std::shared_ptr<Project>& project) {
    if (!project || project->isMigrated || !isSafePathComponent(applicationKey_)) {
        return;
    }
    std::vector<MigrationObject> sources;
    if (auto folder = getNativeMigratePath()) {
        if (auto object = readNativeSDK(*folder)) {
            sources.push_back(std::move(*object));
        }
    }
    if (auto file = getUnityMigratePath(engineFileName)) {
        if (auto object = readUnitySDK(*file)) {
            sources.push_back(std::move(*object));
        }
    }

    std::vector<const MigrationObject*> importable;
    std::vector<PendingLine> lines;
    for (const auto& object : sources) {
        if (!object.userId) {
            lines.push_back({MVKLogLevel::error, "Migration failed: userId not found", false});
        } else if (!object.level) {
            lines.push_back({MVKLogLevel::error, "Migration failed: level not found", false});
        } else {
            importable.push_back(&object);
            lines.push_back({MVKLogLevel::debug,
                             "Completely migrate data with data: \n" + object.description(), true});
        }
    }

    bool committed = false;
    if (!importable.empty()) {
        const Project before = *project;
        committed = repositories_.database->transaction([&] {
            for (const auto* object : importable) {
                if (!migrateFromObject(*object, project)) {
                    return false;
                }
            }
            return true;
        });
        if (!committed) {
            *project = before;
            reloadCaches();
        }
    }
    for (const auto& line : lines) {
        if (committed || !line.onlyWhenCommitted) {
            Logger::writeLog(line.level, line.text);
        }
    }
}

std::optional<std::filesystem::path> SDKMigrationManager::getNativeMigratePath() const {
    auto base = ApplicationSupportDirectory::path();
    if (!base) {
        return std::nullopt;
    }
    return *base / (std::string(nativeFolderPrefix) + applicationKey_);
}

std::optional<std::filesystem::path> SDKMigrationManager::getUnityMigratePath(
    std::string_view fileName) const {
    auto base = ApplicationSupportDirectory::path();
    if (!base) {
        return std::nullopt;
    }
    return *base / unityFolderName / applicationKey_ / fileName;
}

std::optional<MigrationObject> SDKMigrationManager::readNativeSDK(
    const std::filesystem::path& folder) {
    auto archive = LegacyKeyedArchive::readFile(folder / nativeFileName);
    if (!archive) {
        return std::nullopt;
    }
    auto storages = UsersStoragesMigration::fromArchive(*archive);
    return storages ? MigrationObject::fromNativeArchive(*storages) : std::nullopt;
}

std::optional<MigrationObject> SDKMigrationManager::readUnitySDK(
    const std::filesystem::path& file) {
    auto text = LegacyFileReader::read(file, maxEngineFileSize);
    return text ? decodeJson<MigrationObject>(*text) : std::nullopt;
}

bool SDKMigrationManager::migrateFromObject(const MigrationObject& object,
                                            const std::shared_ptr<Project>& project) {
    auto user = getOrCreateUser(project->idKey, *object.level, *object.userId, object.prevUserId);
    if (!user) {
        return false;
    }
    project->activeUserId = user->idKey;
    project->trackingAvailable = object.trackingAvailable;
    if (!repositories_.projects->update(project)) {
        return false;
    }

    // Inserted even without properties, as the earlier SDKs' users always had a card.
    auto card = std::make_shared<PeopleCard>(user->idKey);
    card->properties = object.userCard;
    card->encodeProperties();
    if (!repositories_.people->insert(card)) {
        return false;
    }
    for (const auto& orderId : object.transactionIds) {
        RealPaymentMark mark;
        mark.projectId = project->idKey;
        mark.orderId = orderId;
        if (!repositories_.payments->insert(mark)) {
            return false;
        }
    }
    for (const auto step : object.tutorCompletedSteps) {
        TutorialMark mark;
        mark.userId = user->idKey;
        mark.step = step;
        if (!repositories_.tutorials->insert(mark)) {
            return false;
        }
    }
    project->isMigrated = true;
    return repositories_.projects->update(project);
}

std::shared_ptr<User> SDKMigrationManager::getOrCreateUser(
    std::int64_t projectId, std::int64_t level, const std::string& userId,
    const std::optional<std::string>& previousUserId) {
    // Without the stored users the imported one could be stored twice.
    const auto users = repositories_.users->list();
    if (!users) {
        return nullptr;
    }
    for (const auto& stored : *users) {
        if (stored && stored->userId == userId && stored->projectId == projectId) {
            return stored;
        }
    }
    auto user = std::make_shared<User>(projectId, userId, false);
    user->level = level;
    user->previousUserId = previousUserId;
    if (!repositories_.users->insert(user)) {
        return nullptr;
    }
    return user;
}

void SDKMigrationManager::reloadCaches() {
    repositories_.users->loadData();
    repositories_.people->loadData();
    repositories_.payments->loadData();
    repositories_.tutorials->loadData();
}

}  // namespace mvk
