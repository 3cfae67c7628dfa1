#include "foundation/JsonCoding.hpp"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "foundation/JsonSaxBounds.hpp"

namespace mvk {

namespace {

using Json = nlohmann::json;
using DomParser = nlohmann::detail::json_sax_dom_parser<Json>;

// The stock DOM builder with bounds on nesting and on the number of values, so
// a hostile text cannot make a value that later recursive code would overflow
// the stack on, nor one many times its own size in memory.
class DepthLimitedParser : public JsonSaxBounds {
  public:
    explicit DepthLimitedParser(Json& result) : dom_(result, false) {}

    bool null() { return counted() && dom_.null(); }
    bool boolean(bool value) { return counted() && dom_.boolean(value); }
    bool number_integer(Json::number_integer_t value) {
        return counted() && dom_.number_integer(value);
    }
    bool number_unsigned(Json::number_unsigned_t value) {
        return counted() && dom_.number_unsigned(value);
    }
    bool number_float(Json::number_float_t value, const Json::string_t& text) {
        return counted() && dom_.number_float(value, text);
    }
    bool string(Json::string_t& value) { return counted() && dom_.string(value); }
    bool start_object(std::size_t size) { return counted() && open() && dom_.start_object(size); }
    bool start_array(std::size_t size) { return counted() && open() && dom_.start_array(size); }
    bool key(Json::string_t& key) { return dom_.key(key); }
    bool end_object() {
        --depth_;
        return dom_.end_object();
    }
    bool end_array() {
        --depth_;
        return dom_.end_array();
    }

  private:
    bool open() {
        if (!canOpen(depth_)) {
            return false;
        }
        ++depth_;
        return true;
    }

    DomParser dom_;
    std::size_t depth_ = 0;
};

// Builds an ordered value straight from parser events under the same bounds
// as `DepthLimitedParser`, or a tighter nesting bound. A repeated key keeps
// its first place and takes the last value, found through an index once an
// object grows, so a hostile text with many keys costs no quadratic search.
class OrderedBuilder : public JsonSaxBounds {
  public:
    using Ordered = nlohmann::ordered_json;

    /// With `objectOnly`, anything but an object at the top stops the reading.
    explicit OrderedBuilder(std::size_t maxDepth = AnyCodable::maxDepth, bool objectOnly = false)
        : maxDepth_(maxDepth), objectOnly_(objectOnly) {}

    bool null() { return scalar() && add(Ordered(nullptr)); }
    bool boolean(bool value) { return scalar() && add(Ordered(value)); }
    bool number_integer(Json::number_integer_t value) { return scalar() && add(Ordered(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return scalar() && add(Ordered(value)); }
    bool number_float(Json::number_float_t value, const Json::string_t&) {
        if (!std::isfinite(value)) {
            fail("a number out of the range of a double");
            return false;
        }
        return scalar() && add(Ordered(value));
    }
    bool string(Json::string_t& value) { return scalar() && add(Ordered(std::move(value))); }
    bool start_object(std::size_t) { return counted() && open(true); }
    bool start_array(std::size_t) { return scalar() && open(false); }
    bool key(Json::string_t& key) {
        stack_.back().key = std::move(key);
        return true;
    }
    bool end_object() {
        auto& frame = stack_.back();
        Ordered finished = Ordered::object();
        // Moved in once the size is known: the object's own pairs have a
        // constant key, so a growing object would copy every pair it holds.
        auto& object = finished.get_ref<Ordered::object_t&>();
        object.reserve(frame.entries.size());
        for (auto& [key, value] : frame.entries) {
            object.emplace_back(std::move(key), std::move(value));
        }
        stack_.pop_back();
        return add(std::move(finished));
    }
    bool end_array() {
        Ordered finished(std::move(stack_.back().elements));
        stack_.pop_back();
        return add(std::move(finished));
    }

    Ordered take() { return std::move(result_); }

  private:
    /// Below this many keys a linear search is cheaper than keeping an index.
    static constexpr std::size_t indexedFrom = 8;

    struct Frame {
        bool isObject = false;
        Ordered::array_t elements;
        std::vector<std::pair<std::string, Ordered>> entries;
        std::string key;
        std::unordered_map<std::string, std::size_t> keyIndex;
    };

    /// Counts a value that is not an object.
    bool scalar() {
        if (objectOnly_ && stack_.empty()) {
            fail("not a JSON object");
            return false;
        }
        return counted();
    }

    bool open(bool isObject) {
        if (!canOpen(stack_.size(), maxDepth_)) {
            return false;
        }
        stack_.emplace_back().isObject = isObject;
        return true;
    }

    bool add(Ordered value) {
        if (stack_.empty()) {
            result_ = std::move(value);
            return true;
        }
        auto& frame = stack_.back();
        if (!frame.isObject) {
            frame.elements.push_back(std::move(value));
            return true;
        }
        if (auto* present = find(frame)) {
            *present = std::move(value);
            return true;
        }
        if (!frame.keyIndex.empty() || frame.entries.size() + 1 >= indexedFrom) {
            if (frame.keyIndex.empty()) {
                for (std::size_t index = 0; index < frame.entries.size(); ++index) {
                    frame.keyIndex.emplace(frame.entries[index].first, index);
                }
            }
            frame.keyIndex.emplace(frame.key, frame.entries.size());
        }
        frame.entries.emplace_back(std::move(frame.key), std::move(value));
        return true;
    }

    static Ordered* find(Frame& frame) {
        if (!frame.keyIndex.empty()) {
            const auto found = frame.keyIndex.find(frame.key);
            return found != frame.keyIndex.end() ? &frame.entries[found->second].second : nullptr;
        }
        for (auto& entry : frame.entries) {
            if (entry.first == frame.key) {
                return &entry.second;
            }
        }
        return nullptr;
    }

    const std::size_t maxDepth_;
    const bool objectOnly_;
    std::vector<Frame> stack_;
    Ordered result_;
};

}  // namespace

std::optional<nlohmann::json> parseJson(std::string_view text, std::string* error) {
    try {
        Json result;
        DepthLimitedParser parser(result);
        if (Json::sax_parse(text.begin(), text.end(), &parser, Json::input_format_t::json, true)) {
            return result;
        }
        if (error != nullptr) {
            *error = parser.error();
        }
    } catch (const std::exception& ex) {
        if (error != nullptr) {
            *error = ex.what();
        }
    }
    return std::nullopt;
}

std::optional<nlohmann::ordered_json> parseOrderedJson(std::string_view text) {
    try {
        OrderedBuilder builder;
        if (Json::sax_parse(text.begin(), text.end(), &builder, Json::input_format_t::json, true)) {
            return builder.take();
        }
    } catch (const std::exception&) {
        // Only allocation failure lands here; the parser reports through the builder.
    }
    return std::nullopt;
}

std::optional<nlohmann::ordered_json> parseOrderedObject(std::string_view text,
                                                         std::size_t maxDepth, std::string& error) {
    try {
        OrderedBuilder builder(std::min(maxDepth, AnyCodable::maxDepth), true);
        if (Json::sax_parse(text.begin(), text.end(), &builder, Json::input_format_t::json, true)) {
            return builder.take();
        }
        error = builder.error().empty() ? std::string("not JSON") : builder.error();
    } catch (const std::exception&) {
        error = "no memory to read it";
    }
    return std::nullopt;
}

std::string dumpJson(const nlohmann::ordered_json& json) {
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string dumpPrettyJson(const nlohmann::ordered_json& json) {
    return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace mvk
