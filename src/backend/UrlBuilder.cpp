#include "backend/UrlBuilder.hpp"

namespace mvk {

UrlBuilder::UrlBuilder(std::string host, std::string path)
    : host_(std::move(host)), path_(std::move(path)) {}

void UrlBuilder::setQueryParam(const std::string& key, const std::string& value) {
    queryParameter_[key] = value;
}

std::optional<URL> UrlBuilder::getUrl() const {
    return URL::fromString(buildFullPath());
}

std::string UrlBuilder::buildFullPath() const {
    std::string text = host_ + path_;
    char separator = '?';
    for (const auto& [key, value] : queryParameter_) {
        text += separator;
        text += key;
        text += '=';
        text += value;
        separator = '&';
    }
    return text;
}

}  // namespace mvk
