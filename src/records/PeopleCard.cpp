#include "records/PeopleCard.hpp"

#include <algorithm>

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

namespace {

std::optional<std::vector<std::string>> textArray(std::string_view text) {
    auto json = parseJson(text);
    if (!json || !json->is_array()) {
        return std::nullopt;
    }
    std::vector<std::string> texts;
    for (const auto& element : *json) {
        auto value = JsonObjectReader::asString(element);
        if (!value) {
            return std::nullopt;
        }
        // An empty name is no property; the joined form drops it as well, so
        // both forms of a column read the same names.
        if (!value->empty()) {
            texts.push_back(std::move(*value));
        }
    }
    return texts;
}

}  // namespace

std::optional<PeopleCard> PeopleCard::fromCursor(const Cursor& cursor) {
    auto idKey = cursor.integer(0);
    auto userId = cursor.integer(1);
    auto json = cursor.text(2);
    if (!idKey || !userId || !json) {
        return std::nullopt;
    }
    PeopleCard card(*userId);
    card.idKey = *idKey;
    card.properties = decodePeopleProperties(*json);
    card.json = std::move(*json);
    card.updated = cursor.integer(3).value_or(0) > 0;
    card.cleared = cursor.integer(4).value_or(0) > 0;
    if (auto keys = cursor.text(5)) {
        card.changedKeys = parseChangedKeys(*keys);
    }
    return card;
}

ContentValues PeopleCard::contentValues() const {
    using Entry = SQLiteContracts::PeopleCardEntry;
    return {
        {std::string(Entry::userId), userId},
        {std::string(Entry::json), json},
        {std::string(Entry::updated), updated},
        {std::string(Entry::cleared), cleared},
        {std::string(Entry::changedKeys), changedKeysText(changedKeys)},
    };
}

std::string PeopleCard::changedKeysText(const std::vector<std::string>& keys) {
    std::string joined;
    bool ambiguous = false;
    for (std::size_t index = 0; index < keys.size(); ++index) {
        const auto& key = keys[index];
        joined += index == 0 ? "" : ",";
        joined += key;
        ambiguous = ambiguous || key.find(',') != std::string::npos;
    }
    // Split at "," a custom name holding one would come back as two names, and
    // a joined text starting with "[" could pass for the array form.
    if (ambiguous || joined.starts_with('[')) {
        return dumpJson(nlohmann::ordered_json(keys));
    }
    return joined;
}

std::vector<std::string> PeopleCard::parseChangedKeys(std::string_view text) {
    if (text.starts_with('[')) {
        if (auto keys = textArray(text)) {
            return std::move(*keys);
        }
    }
    std::vector<std::string> keys;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = std::min(text.find(',', start), text.size());
        if (end > start) {
            keys.emplace_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return keys;
}

}  // namespace mvk
