#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace mvk {

/// One action button of a push-notification category.
struct MassagingButtonInfo {
    std::string id{};
    /// The button's title.
    std::string text{};
    /// How the application reacts to the button, as the gateway names it.
    std::optional<std::string> activationMode{};

    /// The gateway's form: "id" and "text" (texts) and the key
    /// "activationMode" (a text, or null for no mode) are all required.
    static std::optional<MassagingButtonInfo> fromJson(const nlohmann::json& json);
    /// The stored form, which the encoder wrote: "activationMode" may be
    /// missing, since it is left out when there is no mode.
    static std::optional<MassagingButtonInfo> fromStoredJson(const nlohmann::json& json);
    /// A JSON array of stored buttons; one bad element fails the list.
    static std::optional<std::vector<MassagingButtonInfo>> listFromStoredJson(
        std::string_view text);

    /// "id", "text", and "activationMode" only when there is a mode.
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const MassagingButtonInfo&, const MassagingButtonInfo&) = default;
};

}  // namespace mvk
