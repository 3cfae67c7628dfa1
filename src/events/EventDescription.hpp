#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/AnyCodable.hpp"

namespace mvk {

/// Builds a record's debug text: one line "\t label: value\n" per field that
/// has a value, in field order. Absent optionals write no line.
class EventDescription {
  public:
    EventDescription& add(std::string_view label, std::string_view value);
    EventDescription& add(std::string_view label, const char* value);
    EventDescription& add(std::string_view label, const std::string& value);
    EventDescription& add(std::string_view label, std::int64_t value);
    EventDescription& add(std::string_view label, int value);
    EventDescription& add(std::string_view label, bool value);
    EventDescription& add(std::string_view label, double value);
    /// ["a", "b"]
    EventDescription& add(std::string_view label, const std::vector<std::string>& value);

    template <typename T>
    EventDescription& add(std::string_view label, const std::optional<T>& value) {
        if (value) {
            add(label, *value);
        }
        return *this;
    }

    /// "\t label: \n", then "\t\t keyLabel: key valueLabel: value" per entry,
    /// the entry lines joined by "\n" and followed by "\n". Nothing at all
    /// for an empty or absent dictionary.
    template <typename Map>
    EventDescription& addDictionary(std::string_view label, std::string_view keyLabel,
                                    std::string_view valueLabel, const Map& map) {
        std::vector<std::pair<std::string_view, std::string>> entries;
        entries.reserve(map.size());
        for (const auto& [key, value] : map) {
            entries.emplace_back(key, plain(value));
        }
        return addEntries(label, keyLabel, valueLabel, entries);
    }
    template <typename Map>
    EventDescription& addDictionary(std::string_view label, std::string_view keyLabel,
                                    std::string_view valueLabel, const std::optional<Map>& map) {
        if (map) {
            addDictionary(label, keyLabel, valueLabel, *map);
        }
        return *this;
    }

    /// Text of a record's own layout, taken as it is.
    EventDescription& append(std::string_view text);

    /// A value as the debug text prints it: numbers in their shortest form
    /// (4.99, 5), a text without quotes.
    static std::string plain(std::int64_t value);
    static std::string plain(double value);
    static std::string plain(const std::string& value) { return value; }
    static std::string plain(const AnyCodable& value) { return value.description(); }

    const std::string& text() const { return text_; }

  private:
    EventDescription& addEntries(
        std::string_view label, std::string_view keyLabel, std::string_view valueLabel,
        const std::vector<std::pair<std::string_view, std::string>>& entries);

    std::string text_;
};

}  // namespace mvk
