#include "foundation/JsonTextWriter.hpp"

#include <charconv>
#include <cmath>

#include <nlohmann/json.hpp>

namespace mvk {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF. A
// text it refuses goes to the tree writer, which repairs it; refusing more
// than that writer would only costs time.
bool validUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (size - i < length || bytes[i + 1] < low || bytes[i + 1] > high) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

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
    if (validUtf8(text)) {
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
