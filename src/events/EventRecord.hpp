#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "events/EventDescription.hpp"
#include "events/Storable.hpp"

namespace mvk {

/// The base of every event record: the fixed code and the timestamp, which
/// every record writes first, and the shared JSON and debug-text rules. A
/// record adds its own fields, in its field order, through `encodeFields` and
/// `describeFields`.
class EventRecord : public Storable {
  public:
    std::string code() const override { return code_; }
    std::int64_t timestamp() const { return timestamp_; }

    /// {"code": ..., "timestamp": ..., the record's own fields...}
    nlohmann::ordered_json toJson() const;
    std::string getJson() const override;
    std::string description() const override;

  protected:
    /// Stamped now, in milliseconds since 1970 on the library's clock.
    explicit EventRecord(std::string_view code);
    EventRecord(std::string_view code, std::int64_t timestamp);

    EventRecord(const EventRecord&) = default;
    EventRecord& operator=(const EventRecord&) = default;

    virtual void encodeFields(nlohmann::ordered_json& json) const = 0;
    virtual void describeFields(EventDescription& description) const = 0;

    /// An absent optional leaves its key out; it is never written as null.
    template <typename T>
    static void putIfPresent(nlohmann::ordered_json& json, const char* key,
                             const std::optional<T>& value) {
        if (value) {
            json[key] = *value;
        }
    }

  private:
    std::string code_;
    std::int64_t timestamp_;
};

}  // namespace mvk
