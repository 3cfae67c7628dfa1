// Addresses the host or the gateway hands us, and the encodings the request
// layer puts into queries and headers. The first byte picks the helper.
#include <string>

#include "FuzzInput.hpp"
#include "backend/PercentEncoding.hpp"
#include "foundation/Base64.hpp"
#include "platform/URL.hpp"

using namespace mvk;

namespace {

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;  // lower-case digits are not what we write
}

void percentEncoding(std::string_view text) {
    const auto encoded = percentEncodeQueryValue(text);
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const auto c = static_cast<unsigned char>(encoded[i]);
        if (c != '%') {
            fuzz::require(isUnreserved(c), "only unreserved characters stay as they are");
            decoded.push_back(static_cast<char>(c));
            continue;
        }
        fuzz::require(i + 2 < encoded.size(), "an escape has two digits");
        const int high = hexValue(encoded[i + 1]);
        const int low = hexValue(encoded[i + 2]);
        fuzz::require(high >= 0 && low >= 0, "an escape is upper-case hex");
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    fuzz::require(decoded == text, "percent-encoding decodes to the value");
}

void base64(std::string_view bytes) {
    static constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto encoded = base64Encode(bytes);
    fuzz::require(encoded.size() == (bytes.size() + 2) / 3 * 4, "base64 length");
    std::string decoded;
    std::uint32_t bits = 0;
    int count = 0;
    std::size_t padding = 0;
    for (char c : encoded) {
        if (c == '=') {
            ++padding;
            continue;
        }
        fuzz::require(padding == 0, "padding only at the end");
        const auto index = alphabet.find(c);
        fuzz::require(index != std::string_view::npos, "base64 alphabet");
        bits = (bits << 6) | static_cast<std::uint32_t>(index);
        count += 6;
        if (count >= 8) {
            count -= 8;
            decoded.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    fuzz::require(padding <= 2, "at most two padding characters");
    fuzz::require(decoded == bytes, "base64 decodes to the bytes");
}

void url(std::string_view text) {
    auto parsed = URL::fromString(std::string(text));
    if (!parsed) {
        return;
    }
    fuzz::require(parsed->absoluteString() == text, "a URL keeps its text");
    fuzz::require(!parsed->scheme().empty() && !parsed->host().empty(),
                  "a URL has a scheme and a host");
    for (unsigned char c : parsed->scheme()) {
        fuzz::require(!(c >= 'A' && c <= 'Z'), "the scheme is lower case");
    }
    for (unsigned char c : text) {
        fuzz::require(c > 0x20 && c != 0x7F, "no space or control character in a URL");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [helper, text] = fuzz::select(data, size, 3);
    switch (helper) {
        case 0:
            url(text);
            break;
        case 1:
            percentEncoding(text);
            break;
        case 2:
            base64(text);
            break;
        default:
            break;
    }
    return 0;
}
