#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// An experiment the gateway put the user in, and the group.
struct InvolvedExperiment {
    /// Groups are short labels ("A", "control"). The group is stored with the user's involvement
    /// and copied into every event sent while the experiment runs, so a longer one from a broken
    /// or hostile gateway would swell every later report: such an answer is refused.
    static constexpr std::size_t maxGroupCharacters = 256;

    std::int64_t id = 0;
    std::string group{};

    /// "id" (an integer) and "group" (a text of at most `maxGroupCharacters` characters) are
    /// required.
    static std::optional<InvolvedExperiment> fromJson(const nlohmann::json& json);
    /// "id", then "group".
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const InvolvedExperiment&, const InvolvedExperiment&) = default;
};

}  // namespace mvk
