#include "foundation/JsonArrayText.hpp"

#include <cmath>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

namespace {

/// Accepts the events of one array and nothing else; keeps no values.
class ArrayCheck {
  public:
    using Json = nlohmann::json;

    explicit ArrayCheck(std::size_t maxDepth) : maxDepth_(maxDepth) {}

    bool null() { return scalar(); }
    bool boolean(bool) { return scalar(); }
    bool number_integer(std::int64_t) { return scalar(); }
    bool number_unsigned(std::uint64_t) { return scalar(); }
    // The lexer turns an out-of-range literal such as 1e400 into infinity,
    // which no JSON writer could put back.
    bool number_float(double value, const std::string&) { return scalar() && std::isfinite(value); }
    bool string(std::string&) { return scalar(); }
    bool binary(Json::binary_t&) { return false; }
    bool key(std::string&) { return true; }
    bool start_object(std::size_t) { return depth_ > 0 && open(); }
    bool start_array(std::size_t) { return open(); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
        return false;
    }

  private:
    bool scalar() const { return depth_ > 0; }
    bool open() { return ++depth_ <= maxDepth_; }
    bool close() {
        --depth_;
        return true;
    }

    std::size_t maxDepth_;
    std::size_t depth_ = 0;
};

}  // namespace

bool isJsonArrayText(std::string_view text, std::size_t maxDepth) {
    ArrayCheck check(maxDepth);
    try {
        return nlohmann::json::sax_parse(text.begin(), text.end(), &check,
                                         nlohmann::json::input_format_t::json, true);
    } catch (...) {
        // Only allocation failure lands here; the parser reports through the check.
        return false;
    }
}

}  // namespace mvk
