#include "analytics/Reports.hpp"

namespace mvk {

nlohmann::ordered_json Reports::toJson() const {
    auto array = nlohmann::ordered_json::array();
    for (const auto& report : reports) {
        array.push_back(report.toJson());
    }
    auto json = nlohmann::ordered_json::object();
    json["reports"] = std::move(array);
    return json;
}

}  // namespace mvk
