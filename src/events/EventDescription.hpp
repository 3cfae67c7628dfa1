#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

}  // namespace mvk
