#include "abtest/AudienceState.hpp"

#include <limits>

#include "events/EventRecord.hpp"
#include "foundation/Clock.hpp"
#include "foundation/JsonCoding.hpp"

namespace mvk {

namespace {

constexpr std::int64_t dayMillis = 86'400'000;

std::int64_t saturatingSubtract(std::int64_t later, std::int64_t earlier) {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(later, earlier, &difference)) {
        return earlier < 0 ? std::numeric_limits<std::int64_t>::max()
                           : std::numeric_limits<std::int64_t>::min();
    }
    return difference;
}

}  // namespace

void AudienceState::setBackendUserData(const std::optional<UserData>& userData) {
    if (!userData) {
        return;
    }
    backend = *userData;
    if (backend.paymentsCount.value_or(0) >= 1 || backend.sbsPaymentsCount.value_or(0) >= 1) {
        payer = true;
    }
}

void AudienceState::updateLifeTime() {
    if (!backend.created) {
        return;
    }
    const std::int64_t age = saturatingSubtract(Clock::nowMillis(), *backend.created);
    // Division truncates toward zero, which is the ceiling for a negative age.
    std::int64_t days = age / dayMillis;
    if (age > 0 && age % dayMillis != 0) {
        ++days;
    }
    // |days| cannot overflow: at most INT64_MIN / one day in size.
    lifetime = days < 0 ? -days : days;
}

nlohmann::ordered_json AudienceState::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    putIfPresent(json, "displayDiagonal", displayDiagonal);
    putIfPresent(json, "country", country);
    putIfPresent(json, "language", language);
    putIfPresent(json, "level", userLevel);
    if (people) {
        json["pl"] = EventRecord::toJson(*people);
    }
    json["payingUser"] = payer;
    putIfPresent(json, "lifetime", lifetime);
    auto backendJson = backend.toJson();
    for (auto& [key, value] : backendJson.items()) {
        json[key] = std::move(value);
    }
    return json;
}

AnyCodable::Object AudienceState::dictionary() const {
    auto value = AnyCodable::fromJson(toJson());
    if (!value || !value->isObject()) {
        return {};
    }
    return std::move(*value->asObject());
}

}  // namespace mvk
