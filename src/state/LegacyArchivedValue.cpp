#include "state/LegacyArchivedValue.hpp"

#include <cmath>

#include "foundation/Utf8.hpp"
#include "state/LegacyKeyedArchive.hpp"

namespace mvk {

std::optional<bool> LegacyArchivedValue::asBool() const {
    if (kind_ != Kind::boolean) {
        return std::nullopt;
    }
    std::uint8_t value = 0;
    plist_get_bool_val(node_, &value);
    return value != 0;
}

std::optional<std::int64_t> LegacyArchivedValue::asInteger() const {
    if (kind_ == Kind::integer) {
        std::uint64_t value = 0;
        plist_get_uint_val(node_, &value);
        // The archive stores integers as signed 64-bit; the library hands
        // them out as their unsigned bit pattern.
        return static_cast<std::int64_t>(value);
    }
    if (kind_ == Kind::real) {
        double value = 0;
        plist_get_real_val(node_, &value);
        // 2^63 itself is out of range; every double below it converts exactly.
        if (std::isfinite(value) && value == std::trunc(value) && value >= -9223372036854775808.0 &&
            value < 9223372036854775808.0) {
            return static_cast<std::int64_t>(value);
        }
    }
    return std::nullopt;
}

std::optional<double> LegacyArchivedValue::asNumber() const {
    if (kind_ == Kind::real) {
        double value = 0;
        plist_get_real_val(node_, &value);
        return value;
    }
    if (kind_ == Kind::integer) {
        return static_cast<double>(*asInteger());
    }
    return std::nullopt;
}

std::optional<std::string> LegacyArchivedValue::asText() const {
    // Once broken, everything read is thrown away; copying more would be waste.
    if (kind_ != Kind::text || archive_->isBroken()) {
        return std::nullopt;
    }
    std::uint64_t length = 0;
    const char* bytes = plist_get_string_ptr(node_, &length);
    if (bytes == nullptr) {
        return std::string();
    }
    return Utf8::sanitized(std::string_view(bytes, length));
}

LegacyArchivedValue LegacyArchivedValue::member(std::string_view key) const {
    // "$class" is the archive's own bookkeeping, not a field.
    if (kind_ != Kind::object || key.empty() || key.front() == '$') {
        return {};
    }
    const std::string name(key);
    return archive_->resolve(plist_dict_get_item(node_, name.c_str()), depth_ + 1);
}

std::vector<LegacyArchivedValue> LegacyArchivedValue::elements() const {
    std::vector<LegacyArchivedValue> result;
    if (kind_ != Kind::array) {
        return result;
    }
    plist_t list = plist_dict_get_item(node_, "NS.objects");
    const std::uint32_t count = plist_array_get_size(list);
    for (std::uint32_t i = 0; i < count && !archive_->isBroken(); ++i) {
        result.push_back(archive_->resolve(plist_array_get_item(list, i), depth_ + 1));
    }
    return result;
}

std::vector<std::pair<LegacyArchivedValue, LegacyArchivedValue>> LegacyArchivedValue::entries()
    const {
    std::vector<std::pair<LegacyArchivedValue, LegacyArchivedValue>> result;
    if (kind_ != Kind::dictionary) {
        return result;
    }
    plist_t keys = plist_dict_get_item(node_, "NS.keys");
    plist_t values = plist_dict_get_item(node_, "NS.objects");
    const std::uint32_t count = plist_array_get_size(keys);
    for (std::uint32_t i = 0; i < count && !archive_->isBroken(); ++i) {
        result.emplace_back(archive_->resolve(plist_array_get_item(keys, i), depth_ + 1),
                            archive_->resolve(plist_array_get_item(values, i), depth_ + 1));
    }
    return result;
}

}  // namespace mvk
