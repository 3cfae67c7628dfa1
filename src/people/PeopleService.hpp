#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/PeopleRepositoryProtocol.hpp"
#include "services/PeopleServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"
#include "storage/OwnedRows.hpp"

namespace mvk {

/// Keeps the active user's card in "peopleCards", one row per user, changing
/// the repository's cached card in place. No lock: every caller is on the
/// income queue.
class PeopleService final : public PeopleServiceProtocol {
  public:
    PeopleService(std::shared_ptr<StateManagerProtocol> stateManager,
                  std::shared_ptr<PeopleRepositoryProtocol> peopleRepository);

    Listener onClearedCard() const override { return onClearedCard_; }
    void setOnClearedCard(Listener listener) override { onClearedCard_ = std::move(listener); }
    Listener onFilledCustomParams() const override { return onFilledCustomParams_; }
    void setOnFilledCustomParams(Listener listener) override {
        onFilledCustomParams_ = std::move(listener);
    }
    Listener peopleCardIsChanged() const override { return peopleCardIsChanged_; }
    void setPeopleCardIsChanged(Listener listener) override {
        peopleCardIsChanged_ = std::move(listener);
    }

    bool isNeedToSend() override;
    bool isNeedToClear() override;
    void sendPeopleCard() override {}

    void clearCustomParams() override;
    std::int64_t getCustomKeyParamsCount() override;
    std::optional<PeopleProperties> getParameters(bool needFullCard) override;
    void removeNulls() override;

    void setValue(const std::string& key, const PeopleValueType& value) override;
    void getValue(const std::string& key, const ValueCompletion& completion) override;
    void increment(const std::string& key, const PeopleValueType& value) override;
    void unset(const std::vector<std::string>& properties) override;
    void clearUser() override;

    void unmarkUpdated() override;
    void unmarkCleared() override;
    void clearChangedKeys() override;

    void removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) override;

    std::shared_ptr<PeopleCard> getPeopleCard() override;

  private:
    /// Writes the properties into `json`, marks the card updated, stores it
    /// and tells the listener. False when the card did not reach the file; it
    /// keeps the change in memory, and the next write that succeeds stores it.
    bool updateCardProperties(const std::shared_ptr<PeopleCard>& card);
    static void addChangedKeys(PeopleCard& card, const std::string& key);
    /// As above for each of `keys`, first one first, each name once.
    static void addChangedKeys(PeopleCard& card, const std::vector<std::string>& keys);
    /// The saturated sum of two numbers of which one at least is a double.
    static double incrementDouble(const PeopleValueType& stored, const PeopleValueType& value,
                                  const std::string& key);
    static std::int64_t incrementInt(const PeopleValueType& stored, const PeopleValueType& value,
                                     const std::string& key);
    /// The sum, or nothing when the kinds cannot be added.
    static std::optional<PeopleValueType> sum(const PeopleValueType& stored,
                                              const PeopleValueType& value, const std::string& key);
    static void notify(const Listener& listener);

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<PeopleRepositoryProtocol> peopleRepository_;
    OwnedRows<PeopleCard> cards_;

    Listener onClearedCard_;
    Listener onFilledCustomParams_;
    Listener peopleCardIsChanged_;
};

}  // namespace mvk
