#include "device/IdentifierCollector.hpp"

#include "device/KeychainStore.hpp"
#include "device/TrackingHelper.hpp"
#include "foundation/Logger.hpp"
#include "foundation/Utf8.hpp"
#include "platform/Uuid.hpp"

namespace mvk {

namespace {

void logCoppaIdfv() {
    Logger::writeLog(MVKLogLevel::info, "Cannot read IDFV when COPPA control enabled");
}

// An empty text is no identifier: sent as one it would merge unrelated devices.
std::optional<std::string> nonEmpty(std::optional<std::string> value) {
    if (value && value->empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

IdentifierCollector::IdentifierCollector(bool coppaControlEnabled,
                                         std::shared_ptr<IdentifierSourceProtocol> identifiers,
                                         std::shared_ptr<const ApplicationInfoProtocol> bundle,
                                         std::shared_ptr<SecureStoreProtocol> keychain)
    : coppaControlEnabled_(coppaControlEnabled),
      identifiers_(std::move(identifiers)),
      bundle_(std::move(bundle)),
      keychain_(std::move(keychain)) {}

std::string IdentifierCollector::itemAccount(const std::string& appName, const std::string& item) {
    return appName + "-" + item;
}

bool IdentifierCollector::isAdvertisingTrackingEnabled() {
    return !coppaControlEnabled_ && TrackingHelper::getNewStatus(*identifiers_);
}

std::optional<std::string> IdentifierCollector::idfv() {
    if (coppaControlEnabled_) {
        logCoppaIdfv();
        return std::nullopt;
    }
    return TrackingHelper::getVendor(*identifiers_);
}

std::optional<std::string> IdentifierCollector::idfa() {
    if (coppaControlEnabled_) {
        Logger::writeLog(MVKLogLevel::info, "Cannot read IDFA when COPPA control enabled");
        return std::nullopt;
    }
    auto identifier = TrackingHelper::getIdentifier(*identifiers_);
    if (!identifier || identifier->find_first_not_of("0-") == std::string::npos) {
        return std::nullopt;
    }
    return identifier;
}

std::string IdentifierCollector::uuid() {
    const auto appName = bundleName();
    if (!appName) {
        return Uuid::random();
    }
    if (auto saved = nonEmpty(getSavedUID(*appName, customUdidItem))) {
        return *saved;
    }
    auto made = Uuid::random();
    setSavedUID(made, *appName, customUdidItem);
    return made;
}

IdentifierData::DeviceUIDs IdentifierCollector::getUIDs() {
    // Made only when used: a start with a vendor identifier and a bundle name
    // needs none, and drawing one costs as much as a secure store read.
    std::optional<std::string> fallback;
    const auto randomFallback = [&]() -> const std::string& {
        if (!fallback) {
            fallback = Uuid::random();
        }
        return *fallback;
    };
    std::string candidate;
    if (auto advertising = nonEmpty(idfa())) {
        candidate = *advertising;
    } else if (coppaControlEnabled_) {
        logCoppaIdfv();
        // One random identifier for the installation: a fresh one at every
        // start would make each launch a new device, linked to the last one
        // by the previous-identifier header all the same.
        candidate = uuid();
    } else if (auto vendor = nonEmpty(TrackingHelper::getVendor(*identifiers_))) {
        candidate = std::move(*vendor);
    } else {
        candidate = randomFallback();
    }

    const auto appName = bundleName();
    if (!appName) {
        return {randomFallback(), std::nullopt};
    }

    const auto saved = nonEmpty(getSavedUID(*appName, currentIdItem));
    if (saved && *saved != candidate) {
        setSavedUID(*saved, *appName, prevIdItem);
        setSavedUID(candidate, *appName, currentIdItem);
        return {candidate, saved};
    }
    if (!saved) {
        setSavedUID(candidate, *appName, currentIdItem);
    }

    // A previous identifier equal to the current one says nothing; it can be
    // stored when an older item migrated to the identifier chosen now.
    const auto differentFromCandidate = [&](std::optional<std::string> prev) {
        return prev && *prev != candidate ? prev : std::nullopt;
    };
    if (auto prev = nonEmpty(getSavedUID(*appName, prevIdItem))) {
        return {candidate, differentFromCandidate(std::move(prev))};
    }
    return {candidate, differentFromCandidate(tryMigratePrevUid(*appName, prevIdItem))};
}

std::optional<std::string> IdentifierCollector::bundleName() const {
    auto name = bundle_->bundleName();
    if (name.empty()) {
        return std::nullopt;
    }
    return name;
}

std::optional<std::string> IdentifierCollector::getSavedUID(const std::string& appName,
                                                            const std::string& account) {
    return getOlderSavedUID(itemAccount(appName, account));
}

bool IdentifierCollector::setSavedUID(const std::string& uid, const std::string& appName,
                                      const std::string& account) {
    return KeychainStore(keychain_).set(uid, itemAccount(appName, account));
}

std::optional<std::string> IdentifierCollector::getOlderSavedUID(const std::string& account) {
    auto data = KeychainStore(keychain_).getData(account);
    if (!data || !Utf8::isValid(*data)) {
        return std::nullopt;
    }
    return data;
}

std::optional<std::string> IdentifierCollector::tryMigratePrevUid(const std::string& appName,
                                                                  const std::string& account) {
    auto older = getOlderSavedUID(olderIdfaItem);
    if (!older) {
        older = getOlderSavedUID(olderIdfvItem);
    }
    if (!older) {
        return std::nullopt;
    }
    auto previous = nonEmpty(older->substr(0, older->find(':')));
    if (previous) {
        setSavedUID(*previous, appName, account);
    }
    return previous;
}

}  // namespace mvk
