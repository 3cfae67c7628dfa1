#pragma once

#include <functional>
#include <optional>
#include <string>

#include "foundation/JsonCoding.hpp"

namespace mvk {

/// A JSON column's text: the value's compact JSON, else (after `onFailure`)
/// the fallback's, else absent, which is stored as NULL.
template <class T, class Default>
std::optional<std::string> encodeOrDefault(const T& value, const Default& defaultOption,
                                           const std::function<void()>& onFailure = nullptr) {
    if (auto text = toJSONData(value)) {
        return text;
    }
    if (onFailure) {
        onFailure();
    }
    return toJSONData(defaultOption);
}

}  // namespace mvk
