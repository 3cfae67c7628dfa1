#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace mvk {

/// A batch of stored event texts with the application and SDK facts they
/// were recorded under; one element of a report's "packages".
struct Package {
    std::optional<std::string> language{};
    /// Absent in editor mode.
    std::optional<std::string> appVersion{};
    /// Absent in editor mode.
    std::optional<std::string> appBuildVersion{};
    std::string sdkVersion{};
    std::int64_t sdkCodeVersion = 10;
    std::optional<std::string> bundle{};
    std::string engine = "Unreal";
    /// The events' JSON texts, in row order.
    std::optional<std::vector<std::string>> events{};
    /// Whether every event text is already as `packEvent` writes it: then it
    /// goes into `appendJson`'s text as it is, without being read again.
    bool eventsPacked = false;

    /// Containers a stored report puts around each event: the packages
    /// array, the package object and its events array.
    static constexpr std::size_t reportNesting = 3;

    /// Why a stored event text cannot go into a package as the object it
    /// holds; none when it can, and then `packed` holds the object's compact
    /// text, as `appendJson` writes it. It must be one JSON object that the
    /// reader of a stored report takes back whole: within that reader's value
    /// count, and nested shallowly enough to stay within its depth inside the
    /// report. Checked and written in one reading: packing reads every stored
    /// event of a backlog, and a second reading cost a quarter more.
    static std::optional<std::string> packEvent(std::string_view text, std::string& packed);

    /// The four optional texts are written as null when absent, never left
    /// out; each event text is written as the object it holds. A text that
    /// is not a JSON object is left out rather than sent as {}, an event
    /// without code or time; the caller checks `packEvent` first so
    /// that none is left out without a line.
    nlohmann::ordered_json toJson() const;

    /// Appends the compact text of `toJson()` to `out`, building one event's
    /// value at a time instead of the whole package, or none when the events
    /// are packed.
    void appendJson(std::string& out) const;

    /// Reads this library's own package form: the four optional texts must be
    /// present (null or a text), the SDK version a text and the code version
    /// an integer; "engine" is not read. Each event object becomes its compact
    /// text again, so member order and number spelling may differ from the
    /// text first packed.
    static std::optional<Package> fromJson(const nlohmann::json& json);

    bool operator==(const Package&) const = default;

  private:
    /// Every member but the events, in their written order.
    nlohmann::ordered_json factsJson() const;
};

}  // namespace mvk
