#include "people/PeopleValidatorRules.hpp"

#include <cstdint>
#include <limits>
#include <span>

#include "analytics/Bounder.hpp"
#include "analytics/Validator.hpp"
#include "analytics/ValidatorRules.hpp"
#include "events/EventRecord.hpp"
#include "foundation/Logger.hpp"
#include "foundation/UnicodeText.hpp"

namespace mvk {

namespace {

constexpr std::string_view valueArgument = "The value argument";

/// The cut key when it is not empty.
std::optional<std::string> checkedKey(std::string_view method, std::string_view argument,
                                      std::string_view cleanKey) {
    std::optional<std::string> key = ValidatorRules::cleaned(method, argument, cleanKey, 64);
    if (!Validator::notNullOrEmpty(method, argument, key)) {
        return std::nullopt;
    }
    return key;
}

}  // namespace

std::optional<std::pair<std::string, PeopleValueType>> PeopleValidatorRules::validateSet(
    std::string_view method, std::string_view key, const std::optional<PeopleValueType>& value) {
    auto cutKey = checkedKey(method, "The key argument", key);
    bool valid = Validator::validType(method, valueArgument, value) && cutKey.has_value();
    PeopleValueType result;
    if (value) {
        result = *value;
        switch (value->kind()) {
            case PeopleValueType::Kind::integer:
                valid = Validator::inInterval(method, valueArgument, value->toInt(),
                                              std::numeric_limits<std::int64_t>::min(),
                                              std::numeric_limits<std::int64_t>::max()) &&
                        valid;
                break;
            case PeopleValueType::Kind::floating: {
                const double number = value->toDouble();
                const double max = std::numeric_limits<double>::max();
                const bool notNaN = Validator::validateDoubleNAN(method, valueArgument, number);
                const bool inRange =
                    Validator::inInterval(method, valueArgument, number, -max, max);
                valid = notNaN && inRange && valid;
                break;
            }
            case PeopleValueType::Kind::text: {
                std::optional<std::string> text =
                    ValidatorRules::cleaned(method, valueArgument, *value->toString(), 255);
                valid = Validator::notNullOrEmpty(method, valueArgument, text) && valid;
                result = PeopleValueType(std::move(*text));
                break;
            }
            default:
                break;
        }
    }
    if (!valid) {
        ValidatorRules::notifyThatMethodExecutionWasCanceled(method);
        return std::nullopt;
    }
    return std::pair{std::move(*cutKey), std::move(result)};
}

std::optional<std::string> PeopleValidatorRules::validateKey(std::string_view method,
                                                             std::string_view key) {
    const auto cleanKey = UnicodeText::removingControlCharacters(key);
    auto result =
        checkedKey(method, "The [" + ValidatorRules::logged(cleanKey) + "] key argument", cleanKey);
    if (!result) {
        ValidatorRules::notifyThatMethodExecutionWasCanceled(method);
    }
    return result;
}

std::optional<std::vector<std::string>> PeopleValidatorRules::validateUnset(
    std::string_view method, const std::vector<std::string>& keys) {
    std::vector<std::string> passed;
    const auto taken = Bounder::maxCollectionCount(method, "The keys array", keys.size(),
                                                   EventRecord::maxHostValues);
    for (const auto& key : std::span(keys).first(taken)) {
        const auto cleanKey = UnicodeText::removingControlCharacters(key);
        if (auto cut = checkedKey(
                method, "The [" + ValidatorRules::logged(cleanKey) + "] key of the keys array",
                cleanKey)) {
            passed.push_back(std::move(*cut));
        }
    }
    if (passed.empty()) {
        return std::nullopt;
    }
    return passed;
}

bool PeopleValidatorRules::validateReservedValueType(PeopleReservedKeys key,
                                                     const PeopleValueType& value) {
    PeopleValueType::Kind required = PeopleValueType::Kind::text;
    std::string_view kindName = "String";
    switch (key) {
        case PeopleReservedKeys::gender:
            required = PeopleValueType::Kind::gender;
            kindName = "MVKGender";
            break;
        case PeopleReservedKeys::age:
            required = PeopleValueType::Kind::integer;
            kindName = "Int";
            break;
        case PeopleReservedKeys::cheater:
        case PeopleReservedKeys::tester:
            required = PeopleValueType::Kind::flag;
            kindName = "Bool";
            break;
        default:
            break;
    }
    if (value.kind() == required) {
        return true;
    }
    Logger::writeLog(MVKLogLevel::error, "Invalid value! The [" + value.description() +
                                             "] value of the reserved key [" +
                                             std::string(rawValue(key)) + "] must be " +
                                             std::string(kindName));
    return false;
}

}  // namespace mvk
