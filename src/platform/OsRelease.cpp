#include "platform/OsRelease.hpp"

#include <fstream>
#include <sstream>

#include "foundation/Utf8.hpp"

namespace mvk {

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool isKey(std::string_view key) {
    if (key.empty()) {
        return false;
    }
    for (char c : key) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_')) {
            return false;
        }
    }
    return true;
}

/// A value as a shell would read it: quotes removed, and inside double quotes
/// a backslash before one of $ " \ ` taken as escaping it.
std::string unquoted(std::string_view raw) {
    if (raw.size() >= 2 && raw.front() == '\'' && raw.back() == '\'') {
        return std::string(raw.substr(1, raw.size() - 2));
    }
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') {
        return std::string(raw);
    }
    raw = raw.substr(1, raw.size() - 2);
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size() &&
            std::string_view("$\"\\`").find(raw[i + 1]) != std::string_view::npos) {
            ++i;
        }
        value += raw[i];
    }
    return value;
}

}  // namespace

std::optional<OsRelease> OsRelease::read(const std::vector<std::filesystem::path>& paths) {
    for (const auto& path : paths) {
        std::ifstream file(path);
        if (!file) {
            continue;
        }
        std::string text(kMaxFileBytes, '\0');
        file.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(file.gcount()));
        return parse(text);
    }
    return std::nullopt;
}

OsRelease OsRelease::parse(std::string_view text) {
    OsRelease release;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || !isKey(line.substr(0, equals))) {
            continue;
        }
        release.values_[std::string(line.substr(0, equals))] =
            Utf8::sanitized(unquoted(trimmed(line.substr(equals + 1))));
    }
    return release;
}

std::optional<std::string> OsRelease::value(const std::string& key) const {
    auto found = values_.find(key);
    if (found == values_.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second;
}

}  // namespace mvk
