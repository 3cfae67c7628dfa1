#include "foundation/JsonCoding.hpp"

namespace mvk {

namespace {

using Json = nlohmann::json;
using DomParser = nlohmann::detail::json_sax_dom_parser<Json>;

// The stock DOM builder with bounds on nesting and on the number of values, so
// a hostile text cannot make a value that later recursive code would overflow
// the stack on, nor one many times its own size in memory.
class DepthLimitedParser {
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
    bool binary(Json::binary_t&) {
        error_ = "binary values are not JSON";
        return false;
    }
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
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) {
        error_ = ex.what();
        return false;
    }

    const std::string& error() const { return error_; }

  private:
    bool counted() {
        if (++values_ > AnyCodable::maxValues) {
            error_ = "more than " + std::to_string(AnyCodable::maxValues) + " values";
            return false;
        }
        return true;
    }

    bool open() {
        if (depth_ >= AnyCodable::maxDepth) {
            error_ = "nesting deeper than " + std::to_string(AnyCodable::maxDepth) + " levels";
            return false;
        }
        ++depth_;
        return true;
    }

    DomParser dom_;
    std::size_t depth_ = 0;
    std::size_t values_ = 0;
    std::string error_;
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

std::string dumpJson(const nlohmann::ordered_json& json) {
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string dumpPrettyJson(const nlohmann::ordered_json& json) {
    return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace mvk
