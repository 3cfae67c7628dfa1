#pragma once

#include <functional>
#include <string_view>
#include <utility>

#include "analytics/AnalyticsLogic.hpp"
#include "events/StorableEvent.hpp"

// What the sources of AnalyticsLogic share: its member templates, which each
// of them instantiates, and the texts more than one of them writes. Only
// those sources include it.

namespace mvk {

namespace analytics_logic_detail {

inline constexpr std::string_view notActiveLine = "SDK not active!\n\t Tracking status is Disable!";

}  // namespace analytics_logic_detail

template <class Block>
void AnalyticsLogic::queueWeakly(Block block) {
    incomeQueue_.addOperation([weak = weak_from_this(), block = std::move(block)] {
        if (auto logic = weak.lock()) {
            block(*logic);
        }
    });
}

template <class Record>
bool AnalyticsLogic::storeRecord(Record record) {
    return store(StorableEvent<Record>(std::move(record)));
}

template <class Record>
bool AnalyticsLogic::storeRecordWith(Record record, const std::function<bool()>& alongside) {
    return eventsService_->addEventWith(StorableEvent<Record>(std::move(record)), nullptr,
                                        alongside);
}

}  // namespace mvk
