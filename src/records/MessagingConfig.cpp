#include "records/MessagingConfig.hpp"

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<MessagingConfig> MessagingConfig::fromJson(const nlohmann::json& json) {
    JsonObjectReader top(json);
    const nlohmann::json* body = top.requiredValue("pushCategories");
    if (!top.ok() || !body->is_object()) {
        return std::nullopt;
    }
    // "categories" must be there, but null is allowed, so the reader's
    // missing-or-null rule does not fit.
    const auto categoriesJson = body->find("categories");
    if (categoriesJson == body->end()) {
        return std::nullopt;
    }
    JsonObjectReader reader(*body);
    auto version = reader.requiredInt("version");
    const nlohmann::json* removedJson = reader.optionalValue("removed");
    if (!reader.ok()) {
        return std::nullopt;
    }
    MessagingConfig config{.version = *version};
    if (!categoriesJson->is_null()) {
        auto categories = decodeJsonValue<std::vector<MessagingCategory>>(*categoriesJson);
        if (!categories) {
            return std::nullopt;
        }
        config.categories = std::move(*categories);
    }
    if (removedJson != nullptr) {
        if (!(config.removed = JsonObjectReader::asStringList(*removedJson))) {
            return std::nullopt;
        }
    }
    return config;
}

}  // namespace mvk
