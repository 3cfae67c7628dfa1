#include "mvk/MVKUserCard.hpp"

#include <utility>

#include "core/Core.hpp"
#include "people/PeopleLogicProxy.hpp"
#include "platform/GuardedCall.hpp"

namespace mvk {

namespace {

using Answer = std::optional<PeopleValueType>;

/// Shared by every core: the queued block meets whichever core's logic is
/// installed when it runs.
PeopleLogicProxy& proxy() {
    return Core::peopleProxy();
}

// Texts are repaired by the proxy inside its queued block: nothing but the
// copy happens on the host's thread.
void setReserved(const char* key, PeopleValueType value, const char* method) {
    callGuarded(method, [&] { proxy().setReservedValue(key, std::move(value), method); });
}

void set(const std::string& key, PeopleValueType value) {
    constexpr const char* method = "set(key:value:)";
    callGuarded(method, [&] { proxy().setValue(key, std::move(value), method); });
}

void increment(const std::string& key, PeopleValueType value) {
    constexpr const char* method = "increment(key:value:)";
    callGuarded(method, [&] { proxy().increment(key, std::move(value), method); });
}

/// Queues the getter; `convert` turns the card's answer into the host's.
template <class Handler, class Convert>
void get(const std::string& key, Handler handler, const char* method, Convert convert) {
    callGuarded(method, [&] {
        proxy().getValue(
            key,
            [handler = std::move(handler), convert, method](Answer value) {
                if (handler) {
                    // A throwing handler must not take the library's queue down.
                    callGuarded(method, [&] { handler(convert(value)); });
                }
            },
            method);
    });
}

std::string text(const Answer& value) {
    return value ? value->toString().value_or("") : std::string();
}

MVKGender gender(const Answer& value) {
    if (!value || value->kind() != PeopleValueType::Kind::integer) {
        return MVKGender::unknown;
    }
    return MVKGenderFromRawValue(value->toInt()).value_or(MVKGender::unknown);
}

std::int64_t integer(const Answer& value) {
    return value && value->kind() == PeopleValueType::Kind::integer ? value->toInt() : 0;
}

std::optional<MVKUserCard::Value> anyValue(const Answer& value) {
    if (!value) {
        return std::nullopt;
    }
    switch (value->kind()) {
        case PeopleValueType::Kind::text:
            return MVKUserCard::Value(*value->toString());
        case PeopleValueType::Kind::flag:
            return MVKUserCard::Value(value->toBool());
        case PeopleValueType::Kind::integer:
            return MVKUserCard::Value(value->toInt());
        case PeopleValueType::Kind::floating:
            return MVKUserCard::Value(value->toDouble());
        case PeopleValueType::Kind::gender:
            return MVKUserCard::Value(rawValue(value->toGender().value_or(MVKGender::unknown)));
        case PeopleValueType::Kind::null:
            break;
    }
    return std::nullopt;
}

}  // namespace

void MVKUserCard::setName(const std::string& name) noexcept {
    setReserved("name", name, "setName(name:)");
}

void MVKUserCard::setEmail(const std::string& email) noexcept {
    setReserved("email", email, "setEmail(email:)");
}

void MVKUserCard::setPhone(const std::string& phone) noexcept {
    setReserved("phone", phone, "setPhone(phone:)");
}

void MVKUserCard::setPhoto(const std::string& photo) noexcept {
    setReserved("photo", photo, "setPhoto(photo:)");
}

void MVKUserCard::setGender(MVKGender gender) noexcept {
    setReserved("gender", rawValue(gender), "setGender(gender:)");
}

void MVKUserCard::setAge(std::int64_t age) noexcept {
    setReserved("age", age, "setAge(age:)");
}

void MVKUserCard::setCheater(bool cheater) noexcept {
    setReserved("cheater", cheater, "setCheater(cheater:)");
}

void MVKUserCard::setTester(bool tester) noexcept {
    setReserved("tester", tester, "setTester(tester:)");
}

void MVKUserCard::setString(const std::string& key, const std::string& value) noexcept {
    set(key, value);
}

void MVKUserCard::setBool(const std::string& key, bool value) noexcept {
    set(key, value);
}

void MVKUserCard::setInt(const std::string& key, std::int64_t value) noexcept {
    set(key, value);
}

void MVKUserCard::setDouble(const std::string& key, double value) noexcept {
    set(key, value);
}

void MVKUserCard::incrementInt(const std::string& key, std::int64_t value) noexcept {
    increment(key, value);
}

void MVKUserCard::incrementDouble(const std::string& key, double value) noexcept {
    increment(key, value);
}

void MVKUserCard::unsetProperty(const std::string& property) noexcept {
    constexpr const char* method = "unset(property:)";
    callGuarded(method, [&] { proxy().unset({property}, method); });
}

void MVKUserCard::unset(const std::vector<std::string>& properties) noexcept {
    constexpr const char* method = "unset(properties:)";
    callGuarded(method, [&] { proxy().unset(properties, method); });
}

void MVKUserCard::clearUser() noexcept {
    constexpr const char* method = "clearUser()";
    callGuarded(method, [&] { proxy().clearUser(method); });
}

void MVKUserCard::getName(TextHandler completionHandler) noexcept {
    get("name", std::move(completionHandler), "getName(completionHandler:)", text);
}

void MVKUserCard::getEmail(TextHandler completionHandler) noexcept {
    get("email", std::move(completionHandler), "getEmail(completionHandler:)", text);
}

void MVKUserCard::getPhone(TextHandler completionHandler) noexcept {
    get("phone", std::move(completionHandler), "getPhone(completionHandler:)", text);
}

void MVKUserCard::getPhoto(TextHandler completionHandler) noexcept {
    get("photo", std::move(completionHandler), "getPhoto(completionHandler:)", text);
}

void MVKUserCard::getGender(GenderHandler completionHandler) noexcept {
    get("gender", std::move(completionHandler), "getGender(completionHandler:)", gender);
}

void MVKUserCard::getAge(IntHandler completionHandler) noexcept {
    get("age", std::move(completionHandler), "getAge(completionHandler:)", integer);
}

void MVKUserCard::getValue(const std::string& key, ValueHandler completionHandler) noexcept {
    get(key, std::move(completionHandler), "getValue(key:_:)", anyValue);
}

}  // namespace mvk
