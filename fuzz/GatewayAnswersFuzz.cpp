// Every answer the gateway sends, read as the request layer reads it: the
// body parsed as JSON, then decoded as the endpoint's record. The first byte
// picks the endpoint. Records the library also stores must read back equal
// from what they write.
#include <optional>
#include <vector>

#include "FuzzInput.hpp"
#include "backend/RetryAfter.hpp"
#include "backend/SummaryBackendData.hpp"
#include "foundation/JsonCoding.hpp"
#include "records/Config.hpp"
#include "records/InvolvedExperimentsContainer.hpp"
#include "records/MessagingConfig.hpp"
#include "records/ReceiptResult.hpp"
#include "records/RemoteConfig.hpp"
#include "records/SuitableExperiments.hpp"

using namespace mvk;

namespace {

template <class T>
void requireReadsBack(const T& value, const std::string& written, const char* what) {
    auto json = parseJson(written);
    fuzz::require(json.has_value(), what);
    auto again = T::fromJson(*json);
    fuzz::require(again && *again == value, what);
}

template <class T>
void requireRoundTrip(const T& value, const char* what) {
    auto json = value.toJson();
    if constexpr (requires { json.has_value(); }) {
        if (!json) {
            return;  // a value that cannot be written is refused when stored
        }
        requireReadsBack(value, dumpJson(*json), what);
    } else {
        requireReadsBack(value, dumpJson(json), what);
    }
}

/// A list stored as a JSON column reads back equal from the column's text.
template <class T>
void requireColumnReadsBack(const std::vector<T>& list, const char* what) {
    const auto text = toJSONData(list);
    if (!text) {
        return;  // stored as an empty list, with a line
    }
    const auto again = decodeJson<std::vector<T>>(*text);
    fuzz::require(again && *again == list, what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [decoder, text] = fuzz::select(data, size, 8);
    auto json = parseJson(text);
    if (!json) {
        return 0;
    }
    std::string error;
    switch (decoder) {
        case 0:
            if (auto config = Config::fromJson(*json)) {
                requireRoundTrip(*config, "a configuration reads back equal");
            }
            break;
        case 1:
            (void)SummaryBackendData::fromJson(*json, &error);
            break;
        case 2:
            (void)RetryAfter::fromJson(*json, &error);
            break;
        case 3:
            if (auto experiments = SuitableExperiments::fromJson(*json)) {
                requireRoundTrip(*experiments, "experiments read back equal");
            }
            break;
        case 4:
            // The answer itself is never written back: its experiments are
            // stored as rows, their conditions already flattened.
            if (auto remote = RemoteConfig::fromJson(*json)) {
                for (const auto& experiment : remote->experiments) {
                    requireColumnReadsBack(experiment.conditions,
                                           "stored experiment conditions read back equal");
                    requireColumnReadsBack(experiment.parameters,
                                           "stored experiment parameters read back equal");
                }
            }
            break;
        case 5:
            if (auto offer = InvolvedExperimentsContainer::fromJson(*json)) {
                requireRoundTrip(*offer, "an offer reads back equal");
            }
            break;
        case 6:
            (void)MessagingConfig::fromJson(*json);
            break;
        case 7:
            if (auto receipt = ReceiptResult::fromJson(*json)) {
                (void)receipt->description();
            }
            break;
        default:
            break;
    }
    return 0;
}
