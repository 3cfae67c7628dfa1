#include "state/DeviceManager.hpp"

#include <utility>

#include "foundation/Logger.hpp"
#include "foundation/SdkConstraints.hpp"

namespace mvk {

DeviceManager::DeviceManager(std::shared_ptr<IdentifiersRepositoryProtocol> identifiersRepository,
                             std::shared_ptr<ToolsRepositoryProtocol> toolsRepository,
                             std::shared_ptr<PlatformProtocol> platform)
    : identifiersRepository_(std::move(identifiersRepository)),
      toolsRepository_(std::move(toolsRepository)),
      platform_(std::move(platform)) {}

std::shared_ptr<DeviceIdentifiers> DeviceManager::initializeDeviceId(const Project& project) {
    const auto rows = identifiersRepository_->list();
    if (!rows) {
        // A row may well be stored; a second one would hide its backend ids.
        Logger::writeLog(MVKLogLevel::error, "The device identifiers could not be read");
        return nullptr;
    }
    std::shared_ptr<DeviceIdentifiers> row;
    for (const auto& candidate : *rows) {
        if (candidate && candidate->projectId == project.idKey) {
            row = candidate;
            break;
        }
    }
    const IdentifierData data = platform_->getIdentifierData();
    const std::string& currentUid = data.deviceUIDs.current;

    if (!row) {
        row = std::make_shared<DeviceIdentifiers>(project.idKey, currentUid, data.uuid,
                                                  data.deviceUIDs.prev);
        identifiersRepository_->insert(row);
        return row;
    }
    if (row->deviceIdentifier != currentUid) {
        // The backend identifiers belong to the old UID; the gateway must
        // identify the device afresh.
        row->previousDeviceIdentifier = row->deviceIdentifier;
        row->deviceIdentifier = currentUid;
        row->morvanixId.reset();
        row->crossPlatformMorvanixId.reset();
        row->morvanixIdTimestamp.reset();
        identifiersRepository_->update(row);
    }
    return row;
}

void DeviceManager::updateDeviceIdentifiers(const Project& project,
                                            std::optional<std::int64_t> morvanixId,
                                            std::optional<std::int64_t> crossPlatformMorvanixId,
                                            std::optional<std::int64_t> morvanixIdTimestamp) {
    const auto row = initializeDeviceId(project);
    if (!row) {
        return;
    }
    row->morvanixId = morvanixId;
    row->crossPlatformMorvanixId = crossPlatformMorvanixId;
    row->morvanixIdTimestamp = morvanixIdTimestamp;
    if (!identifiersRepository_->update(row)) {
        Logger::writeLog(MVKLogLevel::error, "The backend identifiers could not be stored");
    }
}

std::optional<bool> DeviceManager::sdkVersionIsChanged() {
    const std::string current = SdkConstraints::sdkVersion();
    const auto rows = toolsRepository_->list();
    if (!rows) {
        return false;
    }
    if (rows->empty() || !rows->front()) {
        auto tools = std::make_shared<SdkTools>();
        tools->properties[sdkVersionKey] = PeopleValueType(current);
        toolsRepository_->insert(tools);
        return std::nullopt;
    }
    const auto& tools = rows->front();
    const auto stored = tools->properties.find(sdkVersionKey);
    if (stored == tools->properties.end()) {
        return false;
    }
    const auto storedText = stored->second.toString();
    if (!storedText || *storedText == current) {
        return false;
    }
    tools->properties[sdkVersionKey] = PeopleValueType(current);
    toolsRepository_->update(tools);
    return true;
}

}  // namespace mvk
