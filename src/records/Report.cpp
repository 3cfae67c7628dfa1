#include "records/Report.hpp"

#include <utility>

#include "foundation/AnyCodable.hpp"
#include "foundation/JsonArrayText.hpp"
#include "foundation/JsonCoding.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

namespace {

/// The facts of a package take about two hundred bytes; its events as many
/// as their texts.
std::size_t packagesSizeHint(const std::vector<Package>& packages) {
    std::size_t size = 2;
    for (const auto& package : packages) {
        size += 256;
        if (package.events) {
            for (const auto& event : *package.events) {
                size += event.size() + 1;
            }
        }
    }
    return size;
}

void appendPackages(std::string& out, const std::vector<Package>& packages) {
    out += '[';
    for (std::size_t n = 0; n < packages.size(); ++n) {
        if (n > 0) {
            out += ',';
        }
        packages[n].appendJson(out);
    }
    out += ']';
}

}  // namespace

std::optional<Report> Report::fromCursor(const Cursor& cursor) {
    auto idKey = cursor.integer(0);
    auto userId = cursor.integer(1);
    auto uuid = cursor.text(3);
    if (!idKey || !userId || !uuid) {
        return std::nullopt;
    }
    // Decoding a report of a megabyte builds a tree many times its size;
    // sending splices the text instead, so only `packages()` decodes it.
    Report report({}, std::move(*uuid));
    report.idKey = *idKey;
    report.userId = *userId;
    report.packagesJson = cursor.text(2);
    report.stored_ = std::make_shared<StoredPackages>();
    return report;
}

const std::vector<Package>& Report::packages() const {
    if (!stored_) {
        return packages_;
    }
    std::call_once(stored_->decoded, [this] {
        if (packagesJson) {
            if (auto packages = decodeJson<std::vector<Package>>(*packagesJson)) {
                stored_->packages = std::move(*packages);
            }
        }
    });
    return stored_->packages;
}

std::optional<std::string> Report::packagesText() const {
    try {
        const auto& packages = this->packages();
        std::string text;
        text.reserve(packagesSizeHint(packages));
        appendPackages(text, packages);
        return text;
    } catch (...) {
        return std::nullopt;
    }
}

bool Report::hasSendablePackages() const {
    if (!packagesJson) {
        return true;
    }
    if (!stored_) {
        return isJsonArrayText(*packagesJson, AnyCodable::maxDepth);
    }
    std::call_once(stored_->checked, [this] {
        stored_->sendable = isJsonArrayText(*packagesJson, AnyCodable::maxDepth);
    });
    return stored_->sendable;
}

void Report::appendBody(std::string& out) const {
    out += R"({"packages":)";
    if (packagesJson) {
        if (hasSendablePackages()) {
            out += *packagesJson;
        } else {
            out += "[]";
        }
    } else {
        appendPackages(out, packages_);
    }
    out += '}';
}

std::size_t Report::bodySizeHint() const {
    constexpr std::size_t wrapper = 16;
    return wrapper + (packagesJson ? packagesJson->size() : packagesSizeHint(packages_));
}

std::optional<ContentValues> Report::contentValues() const {
    using Entry = SQLiteContracts::ReportEntry;
    auto packages = packagesText();
    if (!packages) {
        return std::nullopt;
    }
    // Not a braced list: that would copy the megabyte of packages text.
    ContentValues values;
    values.reserve(3);
    values.emplace_back(std::string(Entry::userId), userId);
    values.emplace_back(std::string(Entry::packagesJson), std::move(*packages));
    values.emplace_back(std::string(Entry::uuid), uuid);
    return values;
}

std::optional<ContentValues> Report::intoContentValues() && {
    auto values = contentValues();
    if (values) {
        std::vector<Package>().swap(packages_);
        if (stored_) {
            stored_ = std::make_shared<StoredPackages>();
        }
    }
    return values;
}

std::optional<nlohmann::ordered_json> Report::packagesBody() const {
    if (packagesJson) {
        // Ordered, so the value agrees with the text `appendBody` sends.
        if (!hasSendablePackages()) {
            return std::nullopt;
        }
        auto stored = nlohmann::ordered_json::parse(*packagesJson, nullptr, false);
        if (stored.is_discarded()) {
            return std::nullopt;
        }
        return stored;
    }
    return encodeJson(packages_);
}

nlohmann::ordered_json Report::toJson() const {
    auto json = nlohmann::ordered_json::object();
    json["packages"] = packagesBody().value_or(nlohmann::ordered_json::array());
    return json;
}

}  // namespace mvk
