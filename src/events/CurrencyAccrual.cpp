#include "events/CurrencyAccrual.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

namespace {

// "\t earned: \n" and per source "\t\tsource: S \n\t\tresources:\n" with one
// "\t\t\tresource: N amount: A" line per currency; lines and blocks joined by "\n".
void describeAccruals(EventDescription& text, std::string_view label,
                      const std::optional<CurrencyAccrual::AccrualsBySource>& accruals) {
    if (!accruals || accruals->empty()) {
        return;
    }
    std::string block = "\t " + std::string(label) + ": \n";
    bool firstSource = true;
    for (const auto& [source, resources] : *accruals) {
        if (!firstSource) {
            block += '\n';
        }
        firstSource = false;
        block += "\t\tsource: " + source + " \n\t\tresources:\n";
        bool firstResource = true;
        for (const auto& [name, amount] : resources) {
            if (!firstResource) {
                block += '\n';
            }
            firstResource = false;
            block += "\t\t\tresource: " + name + " amount: " + std::to_string(amount);
        }
    }
    block += '\n';
    text.append(block);
}

}  // namespace

void CurrencyAccrual::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    EventRecord::putIfPresent(json, "earned", earned);
    EventRecord::putIfPresent(json, "bought", bought);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void CurrencyAccrual::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId).add("level", level);
    describeAccruals(text, "earned", earned);
    describeAccruals(text, "bought", bought);
    text.add("inExperiments", inExperiments);
}

}  // namespace mvk
