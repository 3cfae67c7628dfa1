#pragma once

#include <string>
#include <utility>

#include "events/EventRecord.hpp"
#include "events/Storable.hpp"

namespace mvk {

/// An event record behind the `Storable` interface, for the code that stores
/// or sends events of any kind. Holds its own copy of the record.
template <EventRecordType R>
class StorableEvent final : public Storable {
  public:
    explicit StorableEvent(R record) : record_(std::move(record)) {}

    const R& record() const { return record_; }

    std::string code() const override { return std::string(R::code); }
    std::string getJson() const override { return EventRecord::getJson(record_); }
    std::string description() const override { return EventRecord::description(record_); }

  private:
    R record_;
};

}  // namespace mvk
