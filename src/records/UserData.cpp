#include "records/UserData.hpp"

#include "records/DecodingError.hpp"
#include "events/EventDescription.hpp"
#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

namespace {

class DescriptionText {
  public:
    template <class T>
    void add(const char* label, const std::optional<T>& value) {
        if (!value) {
            return;
        }
        text_ += label;
        if constexpr (std::is_same_v<T, bool>) {
            text_ += *value ? "true" : "false";
        } else {
            text_ += EventDescription::plain(*value);
        }
    }
    std::string text() const { return text_; }

  private:
    std::string text_;
};

}  // namespace

std::optional<UserData> UserData::fromJson(const nlohmann::json& json, std::string* error) {
    JsonObjectReader reader(json);
    UserData data{
        .created = reader.optionalInt("created"),
        .isNewUser = reader.optionalBool("newUser"),
        .firstVersion = reader.optionalString("firstVersion"),
        .payingCapacity = reader.optionalInt("pCapacity"),
        .paymentsCount = reader.optionalInt("pCount"),
        .paymentsSum = reader.optionalDouble("pSum"),
        .sbsPaymentsCount = reader.optionalInt("sbsCount"),
        .sbsPaymentsSum = reader.optionalDouble("sbsSum"),
        .sbsStatus = reader.optionalInt("sbsStatus"),
        .channel = reader.optionalInt("channel"),
        .campaign = reader.optionalInt("campaign"),
    };
    if (!reader.ok()) {
        DecodingError::describe(reader, "UserData", error);
        return std::nullopt;
    }
    return data;
}

nlohmann::ordered_json UserData::toJson() const {
    auto json = nlohmann::ordered_json::object();
    putIfPresent(json, "created", created);
    putIfPresent(json, "firstVersion", firstVersion);
    putIfPresent(json, "newUser", isNewUser);
    putIfPresent(json, "pCapacity", payingCapacity);
    putIfPresent(json, "pCount", paymentsCount);
    putIfPresent(json, "pSum", paymentsSum);
    putIfPresent(json, "sbsCount", sbsPaymentsCount);
    putIfPresent(json, "sbsSum", sbsPaymentsSum);
    putIfPresent(json, "sbsStatus", sbsStatus);
    putIfPresent(json, "channel", channel);
    putIfPresent(json, "campaign", campaign);
    return json;
}

std::string UserData::description() const {
    DescriptionText text;
    text.add("\tcreated: ", created);
    text.add("\n\tisNewUser: ", isNewUser);
    text.add("\n\tfirstVersion: ", firstVersion);
    text.add("\n\tpayingCapacity: ", payingCapacity);
    text.add("\n\tpaymentsCount: ", paymentsCount);
    text.add("\n\tpaymentsSum: ", paymentsSum);
    text.add("\n\tsbsPaymentsCount: ", sbsPaymentsCount);
    text.add("\n\tsbsPaymentsSum: ", sbsPaymentsSum);
    text.add("\n\tsbsStatus: ", sbsStatus);
    text.add("\n\tchannel: ", channel);
    text.add("\n\tcampaign: ", campaign);
    auto result = text.text();
    return result.empty() ? "BackendUserInfo is empty" : result;
}

}  // namespace mvk
