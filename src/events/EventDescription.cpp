#include "events/EventDescription.hpp"

#include <charconv>

namespace mvk {

EventDescription& EventDescription::add(std::string_view label, std::string_view value) {
    text_ += "\t ";
    text_ += label;
    text_ += ": ";
    text_ += value;
    text_ += '\n';
    return *this;
}

EventDescription& EventDescription::add(std::string_view label, const char* value) {
    return add(label, std::string_view(value != nullptr ? value : ""));
}

EventDescription& EventDescription::add(std::string_view label, const std::string& value) {
    return add(label, std::string_view(value));
}

EventDescription& EventDescription::add(std::string_view label, std::int64_t value) {
    return add(label, std::string_view(plain(value)));
}

EventDescription& EventDescription::add(std::string_view label, int value) {
    return add(label, static_cast<std::int64_t>(value));
}

EventDescription& EventDescription::add(std::string_view label, bool value) {
    return add(label, std::string_view(value ? "true" : "false"));
}

EventDescription& EventDescription::add(std::string_view label, double value) {
    return add(label, std::string_view(plain(value)));
}

EventDescription& EventDescription::add(std::string_view label,
                                        const std::vector<std::string>& value) {
    std::string list = "[";
    for (std::size_t index = 0; index < value.size(); ++index) {
        if (index > 0) {
            list += ", ";
        }
        list += '"';
        list += value[index];
        list += '"';
    }
    list += ']';
    return add(label, std::string_view(list));
}

EventDescription& EventDescription::append(std::string_view text) {
    text_ += text;
    return *this;
}

EventDescription& EventDescription::addEntries(
    std::string_view label, std::string_view keyLabel, std::string_view valueLabel,
    const std::vector<std::pair<std::string_view, std::string>>& entries) {
    if (entries.empty()) {
        return *this;
    }
    text_ += "\t ";
    text_ += label;
    text_ += ": \n";
    for (std::size_t index = 0; index < entries.size(); ++index) {
        if (index > 0) {
            text_ += '\n';
        }
        text_ += "\t\t ";
        text_ += keyLabel;
        text_ += ": ";
        text_ += entries[index].first;
        text_ += ' ';
        text_ += valueLabel;
        text_ += ": ";
        text_ += entries[index].second;
    }
    text_ += '\n';
    return *this;
}

std::string EventDescription::plain(std::int64_t value) {
    return std::to_string(value);
}

std::string EventDescription::plain(double value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, static_cast<std::size_t>(result.ptr - buffer));
}

}  // namespace mvk
