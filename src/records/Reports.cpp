#include "records/Reports.hpp"

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

std::optional<std::string> Reports::toJSONText() const {
    try {
        std::size_t size = 16;
        for (const auto& report : reports) {
            size += report.bodySizeHint() + 1;
        }
        std::string text;
        text.reserve(size);
        text += R"({"reports":[)";
        for (std::size_t n = 0; n < reports.size(); ++n) {
            if (n > 0) {
                text += ',';
            }
            reports[n].appendBody(text);
        }
        text += "]}";
        return text;
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace mvk
