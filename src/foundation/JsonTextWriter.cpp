#include "foundation/JsonTextWriter.hpp"

#include <charconv>
#include <cmath>

#include <nlohmann/json.hpp>

#include "foundation/Utf8.hpp"

namespace mvk {

namespace {

void appendEscaped(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') {
            continue;
        }
        out.append(text, plain, i - plain);
        plain = i + 1;
        out += '\\';
        switch (byte) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '\b':
                out += 'b';
                break;
            case '\t':
                out += 't';
                break;
            case '\n':
                out += 'n';
                break;
            case '\f':
                out += 'f';
                break;
            case '\r':
                out += 'r';
                break;
            default:
                out += "u00";
                out += hex[byte >> 4];
                out += hex[byte & 0x0F];
                break;
        }
    }
    out.append(text, plain);
    out += '"';
}

template <typename Integer>
void appendInteger(std::string& out, Integer value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<std::size_t>(result.ptr - buffer));
}

}  // namespace

void JsonTextWriter::beforeValue() {
    if (needsComma_) {
        text_ += ',';
    }
    needsComma_ = true;
}

void JsonTextWriter::beginObject() {
    beforeValue();
    text_ += '{';
    needsComma_ = false;
}

void JsonTextWriter::endObject() {
    text_ += '}';
    needsComma_ = true;
}

void JsonTextWriter::beginArray() {
    beforeValue();
    text_ += '[';
    needsComma_ = false;
}

void JsonTextWriter::endArray() {
    text_ += ']';
    needsComma_ = true;
}

void JsonTextWriter::key(std::string_view name) {
    string(name);
    text_ += ':';
    needsComma_ = false;
}

void JsonTextWriter::string(std::string_view text) {
    beforeValue();
    // Host texts were made valid on their way in; anything else goes to the
    // tree writer, which repairs it.
    if (Utf8::isValid(text)) {
        appendEscaped(text_, text);
        return;
    }
    text_ += nlohmann::ordered_json(std::string(text))
                 .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void JsonTextWriter::integer(std::int64_t value) {
    beforeValue();
    appendInteger(text_, value);
}

void JsonTextWriter::unsignedInteger(std::uint64_t value) {
    beforeValue();
    appendInteger(text_, value);
}

void JsonTextWriter::boolean(bool value) {
    beforeValue();
    text_ += value ? "true" : "false";
}

void JsonTextWriter::null() {
    beforeValue();
    text_ += "null";
}

bool JsonTextWriter::number(double value) {
    if (!std::isfinite(value)) {
        return false;
    }
    beforeValue();
    // The tree writer's own shortest round-trip form, so both spell a double alike.
    char buffer[64];
    const char* end = nlohmann::detail::to_chars(buffer, buffer + sizeof buffer, value);
    text_.append(buffer, static_cast<std::size_t>(end - buffer));
    return true;
}

bool JsonTextWriter::scalar(const AnyCodable& value) {
    switch (value.kind()) {
        case AnyCodable::Kind::null:
            null();
            return true;
        case AnyCodable::Kind::boolean:
            boolean(*value.asBool());
            return true;
        case AnyCodable::Kind::integer:
            integer(*value.asInt());
            return true;
        case AnyCodable::Kind::unsignedInteger:
            unsignedInteger(*value.asUInt());
            return true;
        case AnyCodable::Kind::floating:
            return number(*value.asDouble());
        case AnyCodable::Kind::string:
            string(*value.asString());
            return true;
        default:
            return false;
    }
}

}  // namespace mvk
