// The texts of stored rows, read back as the repositories read them. The
// first byte picks the column. A file on disk can be damaged or edited, so
// none of them is trusted; what the library writes back must read equal.
#include <optional>
#include <string>
#include <vector>

#include "FuzzInput.hpp"
#include "abtest/ABTestsExperimentState.hpp"
#include "events/EventObject.hpp"
#include "events/PeopleValueType.hpp"
#include "events/RestoredTransaction.hpp"
#include "events/SubscriptionProduct.hpp"
#include "foundation/JsonCoding.hpp"
#include "foundation/Utf8.hpp"
#include "records/ABTestUserProperties.hpp"
#include "records/Config.hpp"
#include "records/ExperimentCondition.hpp"
#include "records/ExperimentMarker.hpp"
#include "records/ExperimentParameter.hpp"
#include "records/Package.hpp"
#include "records/PeopleCard.hpp"

using namespace mvk;

namespace {

template <class T>
void requireStable(std::string_view text, const char* what) {
    auto value = decodeJson<T>(text);
    if (!value) {
        return;
    }
    auto written = toJSONData(*value);
    if (!written) {
        return;  // refused when stored, so it never reaches a row
    }
    auto again = decodeJson<T>(*written);
    fuzz::require(again && *again == *value, what);
}

void eventRow(std::string_view text) {
    if (auto event = EventObject::fromJson(text)) {
        auto again = EventObject::fromJson(event->toJson());
        fuzz::require(again && again->json == event->json && again->code == event->code,
                      "an event row reads back equal");
    }
    // The event column itself, as packing puts it into a report: a text the
    // packing takes becomes one object, and nothing else ever goes in its
    // place (packing leaves the others out with a line).
    Package package;
    package.events = std::vector<std::string>{std::string(text)};
    const auto packed = package.toJson()["events"];
    std::string written;
    if (!Package::packEvent(text, written)) {
        fuzz::require(packed.size() == 1, "one element per readable packed event");
        fuzz::require(dumpJson(packed[0]) == written, "a packed event is written as it reads");
    }
    for (const auto& element : packed) {
        fuzz::require(element.is_object(), "a packed event is an object");
    }
}

void userCardRow(std::string_view text) {
    auto properties = decodePeopleProperties(text);
    auto written = encodePeopleProperties(properties);
    fuzz::require(decodePeopleProperties(written) == properties, "a user card reads back equal");

    // Names come from the host as valid UTF-8; a damaged row's invalid bytes
    // are replaced when the row is written again, which is fine.
    auto keys = PeopleCard::parseChangedKeys(text);
    if (Utf8::isValid(text)) {
        fuzz::require(PeopleCard::parseChangedKeys(PeopleCard::changedKeysText(keys)) == keys,
                      "changed keys read back equal");
    }
}

void experimentRows(std::string_view text) {
    requireStable<std::vector<ExperimentParameter>>(text, "experiment parameters read back equal");
    requireStable<std::vector<ExperimentCondition>>(text, "experiment conditions read back equal");
    requireStable<ExperimentMarker>(text, "an experiment marker reads back equal");
    requireStable<ABTestUserProperties>(text, "A/B user properties read back equal");
    (void)decodeJson<ABTestsExperimentState>(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [decoder, text] = fuzz::select(data, size, 6);
    switch (decoder) {
        case 0:
            eventRow(text);
            break;
        case 1:
            userCardRow(text);
            break;
        case 2:
            requireStable<Config>(text, "a stored configuration reads back equal");
            break;
        case 3:
            experimentRows(text);
            break;
        case 4:
            requireStable<std::vector<Package>>(text, "a stored report reads back equal");
            break;
        case 5:
            requireStable<std::vector<SubscriptionProduct>>(text,
                                                            "stored products read back equal");
            requireStable<std::vector<RestoredTransaction>>(text,
                                                            "stored transactions read back equal");
            break;
        default:
            break;
    }
    return 0;
}
