#include "foundation/AnyCodable.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_set>

#include "foundation/JsonSaxBounds.hpp"

namespace mvk {

namespace {

using OrderedJson = nlohmann::ordered_json;

constexpr auto kMaxInt64 = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

// ---- Object helpers -------------------------------------------------------

template <class Entries>
auto* findEntry(Entries& entries, std::string_view key) {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const auto& entry) { return entry.first == key; });
    return it == entries.end() ? nullptr : &it->second;
}

// ---- Hashing --------------------------------------------------------------

std::uint64_t mix(std::uint64_t x) {
    // splitmix64 finaliser: spreads small integers and near-equal doubles.
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

std::uint64_t combine(std::uint64_t seed, std::uint64_t value) {
    return mix(seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2)));
}

// Ints and doubles share one tag and hash through double, so that every pair
// that compares equal across the two kinds also hashes equal.
enum HashTag : std::uint64_t {
    tagNull = 1,
    tagBool,
    tagNumber,
    tagUnsigned,
    tagString,
    tagArray,
    tagObject
};

std::uint64_t hashNumber(double value) {
    if (value == 0.0) {
        value = 0.0;  // -0.0 == 0.0
    }
    return combine(tagNumber, std::bit_cast<std::uint64_t>(value));
}

std::uint64_t hashText(std::string_view text) {
    return combine(tagString, std::hash<std::string_view>{}(text));
}

// ---- Text form ------------------------------------------------------------

std::string formatDouble(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    // Keep a double recognisable as one in logs: 1 prints as 1.0.
    if (text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return text;
}

std::string quoted(const std::string& text) {
    std::string result = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            result += '\\';
        }
        result += c;
    }
    return result + "\"";
}

// ---- Decoding -------------------------------------------------------------

// Builds the value straight from parser events, so objects keep their text
// order, repeated keys cost no quadratic search, and depth is bounded before
// anything is allocated for it.
class Builder : public JsonSaxBounds {
  public:
    using Json = nlohmann::json;

    bool null() { return counted() && add(AnyCodable()); }
    bool boolean(bool value) { return counted() && add(AnyCodable(value)); }
    bool number_integer(Json::number_integer_t value) {
        return counted() && add(AnyCodable(value));
    }
    bool number_unsigned(Json::number_unsigned_t value) {
        if (!counted()) {
            return false;
        }
        return value <= kMaxInt64 ? add(AnyCodable(static_cast<std::int64_t>(value)))
                                  : add(AnyCodable(value));
    }
    bool number_float(Json::number_float_t value, const Json::string_t&) {
        return counted() && add(AnyCodable(value));
    }
    bool string(Json::string_t& value) { return counted() && add(AnyCodable(std::move(value))); }
    bool start_object(std::size_t) { return counted() && open(true); }
    bool start_array(std::size_t) { return counted() && open(false); }
    bool key(Json::string_t& key) {
        stack_.back().key = std::move(key);
        return true;
    }
    bool end_object() {
        auto finished = AnyCodable(AnyCodable::Object(std::move(stack_.back().entries)));
        stack_.pop_back();
        return add(std::move(finished));
    }
    bool end_array() {
        auto finished = AnyCodable(std::move(stack_.back().elements));
        stack_.pop_back();
        return add(std::move(finished));
    }

    std::optional<AnyCodable> take() { return std::move(result_); }

  private:
    struct Frame {
        bool isObject = false;
        AnyCodable::Array elements;
        AnyCodable::Object::Entries entries;
        std::string key;
        // Where each key sits in `entries`: a repeated key replaces the value in place.
        std::unordered_map<std::string, std::size_t> keyIndex;
    };

    bool open(bool isObject) {
        if (!canOpen(stack_.size())) {
            return false;
        }
        stack_.emplace_back().isObject = isObject;
        return true;
    }

    // Containers are counted when they open; a finished one comes back here
    // through `end_object`/`end_array` and is not counted again.
    bool add(AnyCodable value) {
        if (stack_.empty()) {
            result_ = std::move(value);
            return true;
        }
        auto& frame = stack_.back();
        if (!frame.isObject) {
            frame.elements.push_back(std::move(value));
            return true;
        }
        auto [it, added] = frame.keyIndex.try_emplace(frame.key, frame.entries.size());
        if (added) {
            frame.entries.emplace_back(std::move(frame.key), std::move(value));
        } else {
            frame.entries[it->second].second = std::move(value);
        }
        return true;
    }

    std::vector<Frame> stack_;
    std::optional<AnyCodable> result_;
};

template <class Json>
std::optional<AnyCodable> convert(const Json& json, std::size_t depth) {
    switch (json.type()) {
        case nlohmann::json::value_t::null:
            return AnyCodable();
        case nlohmann::json::value_t::boolean:
            return AnyCodable(json.template get<bool>());
        case nlohmann::json::value_t::number_integer:
            return AnyCodable(json.template get<std::int64_t>());
        case nlohmann::json::value_t::number_unsigned: {
            auto value = json.template get<std::uint64_t>();
            return value <= kMaxInt64 ? AnyCodable(static_cast<std::int64_t>(value))
                                      : AnyCodable(value);
        }
        case nlohmann::json::value_t::number_float: {
            auto value = json.template get<double>();
            if (!std::isfinite(value)) {
                return std::nullopt;
            }
            return AnyCodable(value);
        }
        case nlohmann::json::value_t::string:
            return AnyCodable(json.template get_ref<const std::string&>());
        case nlohmann::json::value_t::array: {
            if (depth >= AnyCodable::maxDepth) {
                return std::nullopt;
            }
            AnyCodable::Array array;
            array.reserve(json.size());
            for (const auto& element : json) {
                auto value = convert(element, depth + 1);
                if (!value) {
                    return std::nullopt;
                }
                array.push_back(std::move(*value));
            }
            return AnyCodable(std::move(array));
        }
        case nlohmann::json::value_t::object: {
            if (depth >= AnyCodable::maxDepth) {
                return std::nullopt;
            }
            AnyCodable::Object::Entries entries;
            entries.reserve(json.size());
            for (const auto& [key, element] : json.items()) {
                auto value = convert(element, depth + 1);
                if (!value) {
                    return std::nullopt;
                }
                entries.emplace_back(key, std::move(*value));
            }
            return AnyCodable(AnyCodable::Object(std::move(entries)));
        }
        default:  // binary, discarded
            return std::nullopt;
    }
}

}  // namespace

// ---- Object ---------------------------------------------------------------

AnyCodable::Object::Object(Entries entries) {
    // Event parameters hold a few dozen keys at most, all distinct: compared
    // pairwise they need no set, whose nodes cost an allocation per key.
    constexpr std::size_t pairwiseLimit = 32;
    if (entries.size() <= pairwiseLimit) {
        bool distinct = true;
        for (std::size_t i = 1; i < entries.size() && distinct; ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (entries[i].first == entries[j].first) {
                    distinct = false;
                    break;
                }
            }
        }
        if (distinct) {
            entries_ = std::move(entries);
            return;
        }
    }
    // Decide which entries stay before moving any, so the views into keys stay valid.
    std::unordered_set<std::string_view> seen;
    seen.reserve(entries.size());
    std::vector<bool> keep(entries.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        keep[i] = seen.insert(entries[i].first).second;
        kept += keep[i] ? 1 : 0;
    }
    if (kept == entries.size()) {
        entries_ = std::move(entries);
        return;
    }
    entries_.reserve(kept);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (keep[i]) {
            entries_.push_back(std::move(entries[i]));
        }
    }
}

bool AnyCodable::Object::insert(std::string key, AnyCodable value) {
    if (contains(key)) {
        return false;
    }
    entries_.emplace_back(std::move(key), std::move(value));
    return true;
}

void AnyCodable::Object::assign(std::string key, AnyCodable value) {
    if (auto* present = find(key)) {
        *present = std::move(value);
    } else {
        entries_.emplace_back(std::move(key), std::move(value));
    }
}

bool AnyCodable::Object::erase(std::string_view key) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const auto& entry) { return entry.first == key; });
    if (it == entries_.end()) {
        return false;
    }
    entries_.erase(it);
    return true;
}

const AnyCodable* AnyCodable::Object::find(std::string_view key) const {
    return findEntry(entries_, key);
}

AnyCodable* AnyCodable::Object::find(std::string_view key) {
    return findEntry(entries_, key);
}

bool operator==(const AnyCodable::Object& lhs, const AnyCodable::Object& rhs) {
    if (lhs.size() != rhs.size()) {
        return false;
    }
    // Objects built the same way share their key order; compare in step while that holds.
    std::size_t i = 0;
    for (; i < lhs.size(); ++i) {
        const auto& [key, value] = lhs.entries_[i];
        if (rhs.entries_[i].first != key) {
            break;
        }
        if (!(value == rhs.entries_[i].second)) {
            return false;
        }
    }
    if (i == lhs.size()) {
        return true;
    }
    // Different order: match the rest by sorted keys (keys are unique within an object).
    using Entry = const AnyCodable::Object::value_type*;
    auto sortedRest = [i](const AnyCodable::Object& object) {
        std::vector<Entry> rest;
        rest.reserve(object.size() - i);
        for (std::size_t k = i; k < object.size(); ++k) {
            rest.push_back(&object.entries_[k]);
        }
        std::sort(rest.begin(), rest.end(), [](Entry a, Entry b) { return a->first < b->first; });
        return rest;
    };
    auto left = sortedRest(lhs);
    auto right = sortedRest(rhs);
    for (std::size_t k = 0; k < left.size(); ++k) {
        if (left[k]->first != right[k]->first || !(left[k]->second == right[k]->second)) {
            return false;
        }
    }
    return true;
}

// ---- Construction and access ----------------------------------------------

AnyCodable::AnyCodable(const char* text) {
    if (text != nullptr) {
        value_ = std::string(text);
    }
}

AnyCodable AnyCodable::array(std::initializer_list<AnyCodable> elements) {
    return AnyCodable(Array(elements));
}

AnyCodable AnyCodable::object(std::initializer_list<Object::value_type> entries) {
    return AnyCodable(Object(entries));
}

std::optional<bool> AnyCodable::asBool() const {
    if (const auto* value = std::get_if<bool>(&value_)) {
        return *value;
    }
    return std::nullopt;
}

std::optional<std::int64_t> AnyCodable::asInt() const {
    if (const auto* value = std::get_if<std::int64_t>(&value_)) {
        return *value;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> AnyCodable::asUInt() const {
    if (const auto* value = std::get_if<std::uint64_t>(&value_)) {
        return *value;
    }
    return std::nullopt;
}

std::optional<double> AnyCodable::asDouble() const {
    if (const auto* value = std::get_if<double>(&value_)) {
        return *value;
    }
    return std::nullopt;
}

const std::string* AnyCodable::asString() const {
    return std::get_if<std::string>(&value_);
}

const AnyCodable::Array* AnyCodable::asArray() const {
    return std::get_if<Array>(&value_);
}

AnyCodable::Array* AnyCodable::asArray() {
    return std::get_if<Array>(&value_);
}

const AnyCodable::Object* AnyCodable::asObject() const {
    return std::get_if<Object>(&value_);
}

AnyCodable::Object* AnyCodable::asObject() {
    return std::get_if<Object>(&value_);
}

std::size_t AnyCodable::size() const {
    if (const auto* array = asArray()) {
        return array->size();
    }
    if (const auto* object = asObject()) {
        return object->size();
    }
    return 0;
}

const AnyCodable* AnyCodable::find(std::string_view key) const {
    const auto* object = asObject();
    return object == nullptr ? nullptr : object->find(key);
}

const AnyCodable* AnyCodable::at(std::size_t index) const {
    const auto* array = asArray();
    return array == nullptr || index >= array->size() ? nullptr : &(*array)[index];
}

// ---- Text form ------------------------------------------------------------

std::string AnyCodable::description() const {
    // Inside containers texts are quoted so that 1 and "1" stay apart in logs.
    auto element = [](const AnyCodable& value) {
        const auto* text = value.asString();
        return text != nullptr ? quoted(*text) : value.description();
    };
    switch (kind()) {
        case Kind::null:
            return "nil";
        case Kind::boolean:
            return std::get<bool>(value_) ? "true" : "false";
        case Kind::integer:
            return std::to_string(std::get<std::int64_t>(value_));
        case Kind::unsignedInteger:
            return std::to_string(std::get<std::uint64_t>(value_));
        case Kind::floating:
            return formatDouble(std::get<double>(value_));
        case Kind::string:
            return std::get<std::string>(value_);
        case Kind::array: {
            std::string text = "[";
            const char* separator = "";
            for (const auto& value : std::get<Array>(value_)) {
                text += separator + element(value);
                separator = ", ";
            }
            return text + "]";
        }
        case Kind::object: {
            const auto& object = std::get<Object>(value_);
            if (object.empty()) {
                return "[:]";
            }
            std::string text = "[";
            const char* separator = "";
            for (const auto& [key, value] : object) {
                text += separator + quoted(key) + ": " + element(value);
                separator = ", ";
            }
            return text + "]";
        }
    }
    return {};
}

std::string AnyCodable::debugDescription() const {
    const auto* text = asString();
    return "AnyCodable(" + (text != nullptr ? quoted(*text) : description()) + ")";
}

// ---- Decoding and encoding ------------------------------------------------

std::optional<AnyCodable> AnyCodable::parse(std::string_view text, std::string* error) {
    Builder builder;
    bool parsed = false;
    try {
        parsed = nlohmann::json::sax_parse(text.begin(), text.end(), &builder,
                                           nlohmann::json::input_format_t::json, true);
    } catch (const std::exception& ex) {
        // Only allocation failure can land here; the parser reports through the builder.
        if (error != nullptr) {
            *error = ex.what();
        }
        return std::nullopt;
    }
    if (!parsed) {
        if (error != nullptr) {
            *error = builder.error();
        }
        return std::nullopt;
    }
    return builder.take();
}

std::optional<AnyCodable> AnyCodable::fromJson(const nlohmann::json& json) {
    try {
        return convert(json, 0);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<AnyCodable> AnyCodable::fromJson(const nlohmann::ordered_json& json) {
    try {
        return convert(json, 0);
    } catch (...) {
        return std::nullopt;
    }
}

namespace {

bool encodeInto(const AnyCodable& value, OrderedJson& out, std::size_t depth) {
    switch (value.kind()) {
        case AnyCodable::Kind::null:
            out = nullptr;
            return true;
        case AnyCodable::Kind::boolean:
            out = *value.asBool();
            return true;
        case AnyCodable::Kind::integer:
            out = *value.asInt();
            return true;
        case AnyCodable::Kind::unsignedInteger:
            out = *value.asUInt();
            return true;
        case AnyCodable::Kind::floating: {
            // A writer would print NaN and infinities as null: the value would be lost silently.
            double number = *value.asDouble();
            if (!std::isfinite(number)) {
                return false;
            }
            out = number;
            return true;
        }
        case AnyCodable::Kind::string:
            out = *value.asString();
            return true;
        case AnyCodable::Kind::array: {
            if (depth >= AnyCodable::maxDepth) {
                return false;
            }
            out = OrderedJson::array();
            for (const auto& element : *value.asArray()) {
                OrderedJson encoded;
                if (!encodeInto(element, encoded, depth + 1)) {
                    return false;
                }
                out.push_back(std::move(encoded));
            }
            return true;
        }
        case AnyCodable::Kind::object: {
            if (depth >= AnyCodable::maxDepth) {
                return false;
            }
            out = OrderedJson::object();
            for (const auto& [key, element] : *value.asObject()) {
                OrderedJson encoded;
                if (!encodeInto(element, encoded, depth + 1)) {
                    return false;
                }
                // Object keys are unique, so appending keeps order without a search.
                out.get_ref<OrderedJson::object_t&>().emplace_back(key, std::move(encoded));
            }
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<nlohmann::ordered_json> AnyCodable::toJson() const {
    try {
        OrderedJson out;
        if (!encodeInto(*this, out, 0)) {
            return std::nullopt;
        }
        return out;
    } catch (...) {
        return std::nullopt;
    }
}

// ---- Hash, equality and ordering ------------------------------------------

std::size_t AnyCodable::hash() const {
    switch (kind()) {
        case Kind::null:
            return mix(tagNull);
        case Kind::boolean:
            return combine(tagBool, std::get<bool>(value_) ? 1 : 0);
        case Kind::integer:
            return hashNumber(static_cast<double>(std::get<std::int64_t>(value_)));
        case Kind::unsignedInteger:
            return combine(tagUnsigned, std::get<std::uint64_t>(value_));
        case Kind::floating:
            return hashNumber(std::get<double>(value_));
        case Kind::string:
            return hashText(std::get<std::string>(value_));
        case Kind::array: {
            const auto& array = std::get<Array>(value_);
            std::uint64_t seed = combine(tagArray, array.size());
            for (const auto& element : array) {
                seed = combine(seed, element.hash());
            }
            return seed;
        }
        case Kind::object: {
            const auto& object = std::get<Object>(value_);
            // A sum of per-entry hashes does not depend on key order, like equality.
            std::uint64_t sum = 0;
            for (const auto& [key, value] : object) {
                sum += combine(std::hash<std::string>{}(key), value.hash());
            }
            return combine(combine(tagObject, object.size()), sum);
        }
    }
    return 0;
}

bool operator==(const AnyCodable& lhs, const AnyCodable& rhs) {
    using Kind = AnyCodable::Kind;
    const Kind left = lhs.kind();
    const Kind right = rhs.kind();
    if (left == Kind::integer && right == Kind::floating) {
        return static_cast<double>(*lhs.asInt()) == *rhs.asDouble();
    }
    if (left == Kind::floating && right == Kind::integer) {
        return *lhs.asDouble() == static_cast<double>(*rhs.asInt());
    }
    // Same kind compares by value, deeply for containers; different kinds are unequal.
    return lhs.value_ == rhs.value_;
}

namespace {

// The numbers that take part in ordering: ints and doubles, as doubles when mixed.
enum class Order { unordered, bothNull, less, equal, greater };

Order compare(const AnyCodable& lhs, const AnyCodable& rhs) {
    using Kind = AnyCodable::Kind;
    if (lhs.isNull() && rhs.isNull()) {
        return Order::bothNull;
    }
    if (lhs.kind() == Kind::integer && rhs.kind() == Kind::integer) {
        auto a = *lhs.asInt();
        auto b = *rhs.asInt();
        return a < b ? Order::less : (a > b ? Order::greater : Order::equal);
    }
    auto number = [](const AnyCodable& value) -> std::optional<double> {
        if (auto i = value.asInt()) {
            return static_cast<double>(*i);
        }
        return value.asDouble();
    };
    auto a = number(lhs);
    auto b = number(rhs);
    if (!a || !b) {
        return Order::unordered;
    }
    if (*a < *b) {
        return Order::less;
    }
    if (*a > *b) {
        return Order::greater;
    }
    // NaN against anything is neither less, greater nor equal.
    return *a == *b ? Order::equal : Order::unordered;
}

}  // namespace

bool operator<(const AnyCodable& lhs, const AnyCodable& rhs) {
    auto order = compare(lhs, rhs);
    return order == Order::bothNull || order == Order::less;
}

bool operator>(const AnyCodable& lhs, const AnyCodable& rhs) {
    auto order = compare(lhs, rhs);
    return order == Order::bothNull || order == Order::greater;
}

bool operator<=(const AnyCodable& lhs, const AnyCodable& rhs) {
    auto order = compare(lhs, rhs);
    return order == Order::bothNull || order == Order::less || order == Order::equal;
}

bool operator>=(const AnyCodable& lhs, const AnyCodable& rhs) {
    auto order = compare(lhs, rhs);
    return order == Order::bothNull || order == Order::greater || order == Order::equal;
}

}  // namespace mvk
