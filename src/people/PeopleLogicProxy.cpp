#include "people/PeopleLogicProxy.hpp"

#include <algorithm>
#include <memory>

#include "analytics/Validator.hpp"
#include "events/EventCode.hpp"
#include "foundation/OnceAnswer.hpp"
#include "foundation/Utf8.hpp"
#include "people/PeopleReservedKeys.hpp"
#include "people/PeopleValidatorRules.hpp"

namespace mvk {

namespace {

constexpr std::string_view peopleCode = EventCode::peopleEvent;

// The reserved names are ASCII, and no other letter lower-cases into ASCII
// but the Kelvin sign, which none of them contains.
std::optional<PeopleReservedKeys> reservedKey(std::string_view key) {
    std::string lower(key);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return PeopleReservedKeysFromRawValue(lower);
}

std::string normalised(std::string key) {
    if (const auto reserved = reservedKey(key)) {
        return std::string(rawValue(*reserved));
    }
    return key;
}

/// Host texts are repaired inside the queued block, before anything reads them.
std::string repaired(const std::string& text) {
    return Utf8::isValid(text) ? text : Utf8::sanitized(text);
}

PeopleValueType repaired(const PeopleValueType& value) {
    if (const auto text = value.toString()) {
        return PeopleValueType(repaired(*text));
    }
    return value;
}

bool isExcluded(const std::string& key) {
    return Validator::isExcluded(peopleCode, AnyCodable(key));
}

}  // namespace

std::optional<std::pair<std::string, PeopleValueType>> PeopleLogicProxy::validateChanges(
    const std::string& key, const PeopleValueType& value, const std::string& method) {
    std::string usedKey = key;
    if (const auto reserved = reservedKey(key)) {
        usedKey = std::string(rawValue(*reserved));
        if (!PeopleValidatorRules::validateReservedValueType(*reserved, value)) {
            return std::nullopt;
        }
    }
    auto pair = PeopleValidatorRules::validateSet(method, usedKey, value);
    // The key as written decides; the cleaned, cut key is only what is stored.
    if (!pair || isExcluded(usedKey)) {
        return std::nullopt;
    }
    return pair;
}

void PeopleLogicProxy::setReservedValue(std::string key, PeopleValueType value,
                                        std::string method) {
    const auto held = heldBytes(key, value, method);
    enqueue(method, held,
            [key = std::move(key), value = std::move(value), method](PeopleLogicProtocol& logic) {
                const auto written = repaired(key);
                const auto pair =
                    PeopleValidatorRules::validateSet(method, written, repaired(value));
                if (!pair || isExcluded(written)) {
                    return;
                }
                logic.setValue(pair->first, pair->second);
            });
}

void PeopleLogicProxy::setValue(std::string key, PeopleValueType value, std::string method) {
    const auto held = heldBytes(key, value, method);
    enqueue(method, held,
            [key = std::move(key), value = std::move(value), method](PeopleLogicProtocol& logic) {
                if (const auto pair = validateChanges(repaired(key), repaired(value), method)) {
                    logic.setValue(pair->first, pair->second);
                }
            });
}

void PeopleLogicProxy::getValue(std::string key, ValueCompletion completion, std::string method) {
    auto answer = std::make_shared<OnceAnswer<ValueCompletion>>(std::move(completion));
    const auto held = heldBytes(key, method);
    enqueueGetter(
        method, held,
        [key = std::move(key), answer, method](PeopleLogicProtocol& logic) {
            try {
                const auto valid = PeopleValidatorRules::validateKey(method, repaired(key));
                if (!valid) {
                    (*answer)(std::nullopt);
                    return;
                }
                logic.getValue(normalised(*valid), [answer](std::optional<PeopleValueType> value) {
                    (*answer)(value);
                });
            } catch (...) {
                // A host waiting for its answer must not wait for ever.
                (*answer)(std::nullopt);
                throw;
            }
            // A logic that forgot to answer would leave the host waiting too.
            (*answer)(std::nullopt);
        },
        [answer] { (*answer)(std::nullopt); });
}

void PeopleLogicProxy::increment(std::string key, PeopleValueType value, std::string method) {
    const auto held = heldBytes(key, value, method);
    enqueue(method, held,
            [key = std::move(key), value = std::move(value), method](PeopleLogicProtocol& logic) {
                if (const auto pair = validateChanges(repaired(key), repaired(value), method)) {
                    logic.increment(pair->first, pair->second);
                }
            });
}

void PeopleLogicProxy::unset(std::vector<std::string> properties, std::string method) {
    const auto held = heldBytes(properties, method);
    enqueue(method, held, [properties = std::move(properties), method](PeopleLogicProtocol& logic) {
        std::vector<std::string> keys;
        keys.reserve(properties.size());
        for (const auto& key : properties) {
            keys.push_back(normalised(repaired(key)));
        }
        auto valid = PeopleValidatorRules::validateUnset(method, keys);
        if (!valid) {
            return;
        }
        std::erase_if(*valid, [](const std::string& key) { return isExcluded(key); });
        if (!valid->empty()) {
            logic.unset(std::move(*valid));
        }
    });
}

void PeopleLogicProxy::clearUser(std::string method) {
    enqueue(std::move(method), heldBytes(), [](PeopleLogicProtocol& logic) { logic.clearUser(); });
}

}  // namespace mvk
