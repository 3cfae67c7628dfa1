#include "people/PeopleService.hpp"

#include <algorithm>
#include <limits>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "foundation/Logger.hpp"
#include "people/PeopleReservedKeys.hpp"

namespace mvk {

namespace {

constexpr double largestDouble = std::numeric_limits<double>::max();

void logCard(MVKLogLevel level, const std::string& message) {
    Logger::writeLog(level, "[User Card] " + message);
}

bool isReserved(const std::string& key) {
    return PeopleReservedKeysFromRawValue(key).has_value();
}

bool isNumber(const PeopleValueType& value) {
    return value.kind() == PeopleValueType::Kind::integer ||
           value.kind() == PeopleValueType::Kind::floating;
}

void logOverflow(const std::string& key) {
    logCard(MVKLogLevel::error, "The incremented value [" + key + "] caused overflow");
}

std::string valueChange(const std::string& key, const PeopleValueType& value) {
    return "Value [" + value.description() + "] for the key [" + key + "]";
}

std::string setLine(const std::string& key, const PeopleValueType& value) {
    return valueChange(key, value) + " was set successfully";
}

/// The success line when the card reached the file, else an error naming the
/// change: a write the disk refused must never read as done.
void logOutcome(bool stored, const std::string& success, const std::string& change) {
    if (stored) {
        logCard(MVKLogLevel::info, success);
    } else {
        logCard(MVKLogLevel::error, change + " was not stored: the user card could not be written");
    }
}

}  // namespace

PeopleService::PeopleService(std::shared_ptr<StateManagerProtocol> stateManager,
                             std::shared_ptr<PeopleRepositoryProtocol> peopleRepository)
    : stateManager_(std::move(stateManager)),
      peopleRepository_(std::move(peopleRepository)),
      cards_(peopleRepository_, &PeopleCard::userId) {}

std::shared_ptr<PeopleCard> PeopleService::getPeopleCard() {
    return cards_.rowOf(stateManager_->getActiveUser()->idKey);
}

bool PeopleService::isNeedToSend() {
    return getPeopleCard()->updated;
}

bool PeopleService::isNeedToClear() {
    return getPeopleCard()->cleared;
}

void PeopleService::clearCustomParams() {
    auto card = getPeopleCard();
    std::erase_if(card->properties, [](const auto& entry) { return !isReserved(entry.first); });
    card->encodeProperties();
    cards_.save(card);
    notify(peopleCardIsChanged_);
}

std::int64_t PeopleService::getCustomKeyParamsCount() {
    const auto card = getPeopleCard();
    return std::count_if(card->properties.begin(), card->properties.end(),
                         [](const auto& entry) { return !isReserved(entry.first); });
}

std::optional<PeopleProperties> PeopleService::getParameters(bool needFullCard) {
    const auto card = getPeopleCard();
    if (needFullCard) {
        return card->properties;
    }
    PeopleProperties changed;
    for (const auto& key : card->changedKeys) {
        if (auto found = card->properties.find(key); found != card->properties.end()) {
            changed.insert(*found);
        }
    }
    return changed;
}

void PeopleService::removeNulls() {
    auto card = getPeopleCard();
    std::erase_if(card->properties, [](const auto& entry) { return entry.second.isNull(); });
    updateCardProperties(card);
}

void PeopleService::setValue(const std::string& key, const PeopleValueType& value) {
    auto card = getPeopleCard();
    const auto stored = card->properties.find(key);
    if (stored != card->properties.end() && stored->second.isEqual(value)) {
        return;
    }
    card->properties.insert_or_assign(key, value);
    addChangedKeys(*card, key);
    logOutcome(updateCardProperties(card), setLine(key, value), valueChange(key, value));
}

void PeopleService::getValue(const std::string& key, const ValueCompletion& completion) {
    const auto card = getPeopleCard();
    const auto stored = card->properties.find(key);
    std::optional<PeopleValueType> value;
    if (stored != card->properties.end() && !stored->second.isNull()) {
        value = stored->second;
    }
    if (completion) {
        completion(std::move(value));
    }
}

void PeopleService::increment(const std::string& key, const PeopleValueType& value) {
    auto card = getPeopleCard();
    const auto stored = card->properties.find(key);
    std::optional<std::pair<std::string, std::string>> lines;
    if (stored == card->properties.end()) {
        card->properties.insert_or_assign(key, value);
        addChangedKeys(*card, key);
        lines.emplace(setLine(key, value), valueChange(key, value));
    } else if (auto result = sum(stored->second, value, key)) {
        lines.emplace("New value [" + result->description() + "] for the key [" + key +
                          "] was successfully incremented",
                      valueChange(key, *result));
        stored->second = std::move(*result);
        addChangedKeys(*card, key);
    } else {
        logCard(MVKLogLevel::error, "In the increment method an error has occurred: \n\tValue [" +
                                        stored->second.description() +
                                        "] type does not match the increment value [" +
                                        value.description() + "]");
    }
    // Rewritten after a refused pair too, so the card is sent again.
    const bool written = updateCardProperties(card);
    if (lines) {
        logOutcome(written, lines->first, lines->second);
    }
}

void PeopleService::unset(const std::vector<std::string>& properties) {
    auto card = getPeopleCard();
    std::string names;
    for (const auto& key : properties) {
        card->properties.insert_or_assign(key, PeopleValueType());
        names += names.empty() ? key : "," + key;
    }
    addChangedKeys(*card, properties);
    logOutcome(updateCardProperties(card),
               "Properties for key [" + names + "] were successfully unset",
               "The unset of the properties for key [" + names + "]");
}

void PeopleService::clearUser() {
    auto card = getPeopleCard();
    card->properties.clear();
    card->cleared = true;
    const bool written = updateCardProperties(card);
    notify(onClearedCard_);
    logOutcome(written, "All user data was successfully cleared", "The clearing of all user data");
}

void PeopleService::unmarkUpdated() {
    auto card = getPeopleCard();
    card->updated = false;
    cards_.save(card);
}

void PeopleService::unmarkCleared() {
    auto card = getPeopleCard();
    card->cleared = false;
    cards_.save(card);
}

void PeopleService::clearChangedKeys() {
    auto card = getPeopleCard();
    card->changedKeys.clear();
    cards_.save(card);
}

void PeopleService::removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) {
    const auto userIds = User::rowIds(users);
    peopleRepository_->deleteForDataForUsers(userIds);
    cards_.forget(userIds);
}

bool PeopleService::updateCardProperties(const std::shared_ptr<PeopleCard>& card) {
    card->encodeProperties();
    card->updated = true;
    const bool written = cards_.save(card);
    notify(peopleCardIsChanged_);
    return written;
}

void PeopleService::addChangedKeys(PeopleCard& card, const std::string& key) {
    if (std::find(card.changedKeys.begin(), card.changedKeys.end(), key) ==
        card.changedKeys.end()) {
        card.changedKeys.push_back(key);
    }
}

void PeopleService::addChangedKeys(PeopleCard& card, const std::vector<std::string>& keys) {
    // A set of the names already there, so many names cost no search each.
    std::unordered_set<std::string_view> present(card.changedKeys.begin(), card.changedKeys.end());
    std::vector<std::string> added;
    for (const auto& key : keys) {
        if (present.insert(key).second) {
            added.push_back(key);
        }
    }
    card.changedKeys.insert(card.changedKeys.end(), std::make_move_iterator(added.begin()),
                            std::make_move_iterator(added.end()));
}

std::optional<PeopleValueType> PeopleService::sum(const PeopleValueType& stored,
                                                  const PeopleValueType& value,
                                                  const std::string& key) {
    if (!isNumber(stored) || !isNumber(value)) {
        return std::nullopt;
    }
    if (stored.kind() == PeopleValueType::Kind::integer &&
        value.kind() == PeopleValueType::Kind::integer) {
        return PeopleValueType(incrementInt(stored, value, key));
    }
    return PeopleValueType(incrementDouble(stored, value, key));
}

double PeopleService::incrementDouble(const PeopleValueType& stored, const PeopleValueType& value,
                                      const std::string& key) {
    const double total = stored.toDouble() + value.toDouble();
    if (total >= largestDouble) {
        logOverflow(key);
        return largestDouble;
    }
    if (total <= -largestDouble) {
        logOverflow(key);
        return -largestDouble;
    }
    return total;
}

std::int64_t PeopleService::incrementInt(const PeopleValueType& stored,
                                         const PeopleValueType& value, const std::string& key) {
    const std::int64_t lhs = stored.toInt();
    const std::int64_t rhs = value.toInt();
    std::int64_t total = 0;
    if (__builtin_add_overflow(lhs, rhs, &total)) {
        logOverflow(key);
        return lhs > 0 ? std::numeric_limits<std::int64_t>::max()
                       : std::numeric_limits<std::int64_t>::min();
    }
    return total;
}

void PeopleService::notify(const Listener& listener) {
    // A listener may replace itself while it runs.
    if (auto copy = listener) {
        copy();
    }
}

}  // namespace mvk
