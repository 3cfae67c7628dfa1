#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "events/EventDescription.hpp"
#include "events/StorableEncoder.hpp"
#include "foundation/JsonCoding.hpp"
#include "foundation/JsonTextWriter.hpp"

namespace mvk {

/// An event record: an aggregate whose members are its fields in order, built
/// with designated initialisers so that two fields of one type cannot be
/// swapped unnoticed. Its fixed code is `static constexpr code`, so no builder
/// can set it; `timestamp` defaults to the clock's reading at construction.
/// The record writes its own fields, after "code" and "timestamp", through
/// `encodeFields` and `describeFields`.
template <class R>
concept EventRecordType = requires(const R& record, nlohmann::ordered_json& json,
                                   EventDescription& text) {
    { R::code } -> std::convertible_to<std::string_view>;
    { record.timestamp } -> std::convertible_to<std::int64_t>;
    record.encodeFields(json);
    record.describeFields(text);
};

/// The JSON and debug-text rules shared by every event record.
class EventRecord {
  public:
    EventRecord() = delete;

    /// Values one event may take from a host's lists and maps: a tenth of
    /// what the reader of a stored report takes, so the event's own fields
    /// and what earlier calls left on the same user card still fit, and the
    /// stored event is always read back and sent.
    static constexpr std::size_t maxHostValues = AnyCodable::maxValues / 10;

    /// {"code": ..., "timestamp": ..., the record's own fields...}
    template <EventRecordType R>
    static nlohmann::ordered_json toJson(const R& record) {
        nlohmann::ordered_json json = nlohmann::ordered_json::object();
        json["code"] = R::code;
        json["timestamp"] = static_cast<std::int64_t>(record.timestamp);
        record.encodeFields(json);
        return json;
    }

    /// The compact JSON text, or "" with one level-2 line when the record
    /// cannot be written (a NaN or infinite number, for one).
    template <EventRecordType R>
    static std::string getJson(const R& record) {
        try {
            // A record that can write its own fields as text skips the tree:
            // the tree and its serialisation cost most of storing an event.
            // When the writer refuses a value, the tree path writes or reports it.
            if constexpr (requires(JsonTextWriter & writer) {
                              { record.writeFields(writer) } -> std::same_as<bool>;
                          }) {
                JsonTextWriter writer(512);
                writer.beginObject();
                writer.key("code");
                writer.string(R::code);
                writer.key("timestamp");
                writer.integer(static_cast<std::int64_t>(record.timestamp));
                if (record.writeFields(writer)) {
                    writer.endObject();
                    return writer.take();
                }
            }
            return StorableEncoder::encode(toJson(record),
                                           [&record] { return description(record); });
        } catch (const std::exception& error) {
            // A record that refuses a value throws; that must not leave a queued block.
            StorableEncoder::logFailure(description(record), error.what());
            return "";
        }
    }

    /// "\t code: ...\n\t timestamp: ...\n" and the record's own lines.
    template <EventRecordType R>
    static std::string description(const R& record) {
        EventDescription text;
        text.add("code", R::code).add("timestamp", static_cast<std::int64_t>(record.timestamp));
        record.describeFields(text);
        return text.text();
    }

    /// An absent optional leaves its key out; it is never written as null.
    template <typename T>
    static void putIfPresent(nlohmann::ordered_json& json, const char* key,
                             const std::optional<T>& value) {
        mvk::putIfPresent(json, key, value);
    }
};

}  // namespace mvk
