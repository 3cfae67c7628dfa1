#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "state/User.hpp"
#include "records/PeopleCard.hpp"
#include "events/PeopleValueType.hpp"

namespace mvk {

/// The active user's card: the properties the host sets, increments, unsets
/// and clears, which names changed since the card was last sent, and whether
/// it changed or was cleared. Every member runs on the income queue; the
/// listeners are called there, inside the operation that fires them.
class PeopleServiceProtocol {
  public:
    using Listener = std::function<void()>;
    using ValueCompletion = std::function<void(std::optional<PeopleValueType>)>;

    virtual ~PeopleServiceProtocol() = default;

    /// After `clearUser`.
    virtual Listener onClearedCard() const = 0;
    virtual void setOnClearedCard(Listener listener) = 0;
    /// Kept for the logic, which calls it when the custom-key limit is passed.
    virtual Listener onFilledCustomParams() const = 0;
    virtual void setOnFilledCustomParams(Listener listener) = 0;
    /// After every rewrite of the stored properties.
    virtual Listener peopleCardIsChanged() const = 0;
    virtual void setPeopleCardIsChanged(Listener listener) = 0;

    /// The card changed since the last user-card event.
    virtual bool isNeedToSend() = 0;
    /// The card was cleared and that is not sent yet.
    virtual bool isNeedToClear() = 0;
    /// Does nothing: the analytics logic builds the user-card event.
    virtual void sendPeopleCard() = 0;

    /// Drops every property but the reserved ones, null markers included;
    /// neither `updated` nor the changed names are touched.
    virtual void clearCustomParams() = 0;
    /// Properties whose name is not reserved, null markers included.
    virtual std::int64_t getCustomKeyParamsCount() = 0;
    /// Every property, or only those named in the changed names.
    virtual std::optional<PeopleProperties> getParameters(bool needFullCard) = 0;
    virtual void removeNulls() = 0;

    /// A value equal to the stored one (same kind) changes nothing.
    virtual void setValue(const std::string& key, const PeopleValueType& value) = 0;
    /// Calls `completion` at once with the value, or nothing for an absent or
    /// unset key.
    virtual void getValue(const std::string& key, const ValueCompletion& completion) = 0;
    /// Adds an integer or a double; the sum saturates.
    virtual void increment(const std::string& key, const PeopleValueType& value) = 0;
    /// Marks the names unset (null) until the card is sent.
    virtual void unset(const std::vector<std::string>& properties) = 0;
    /// Empties the card and marks it cleared.
    virtual void clearUser() = 0;

    virtual void unmarkUpdated() = 0;
    virtual void unmarkCleared() = 0;
    virtual void clearChangedKeys() = 0;

    /// Deletes these users' cards.
    virtual void removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) = 0;

    /// The active user's card, made and stored on first use.
    virtual std::shared_ptr<PeopleCard> getPeopleCard() = 0;
};

}  // namespace mvk
