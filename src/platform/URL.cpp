#include "platform/URL.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/CurlGlobal.hpp"

namespace mvk {

namespace {

struct UrlHandleDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

std::optional<std::string> part(CURLU* handle, CURLUPart which) {
    char* value = nullptr;
    if (curl_url_get(handle, which, &value, 0) != CURLUE_OK || value == nullptr) {
        return std::nullopt;
    }
    std::string result(value);
    curl_free(value);
    return result;
}

}  // namespace

URL::URL(std::string text, std::string scheme, std::string host)
    : text_(std::move(text)), scheme_(std::move(scheme)), host_(std::move(host)) {}

std::optional<URL> URL::fromString(const std::string& text) {
    // The parser stops at a NUL, so a text holding one would be cut silently.
    if (text.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    CurlGlobal::ensureInitialized();
    std::unique_ptr<CURLU, UrlHandleDeleter> handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, text.c_str(),
                                CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return std::nullopt;
    }
    auto scheme = part(handle.get(), CURLUPART_SCHEME);
    auto host = part(handle.get(), CURLUPART_HOST);
    if (!scheme || !host || host->empty()) {
        return std::nullopt;
    }
    std::transform(scheme->begin(), scheme->end(), scheme->begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return URL(text, std::move(*scheme), std::move(*host));
}

}  // namespace mvk
