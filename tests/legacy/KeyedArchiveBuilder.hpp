#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mvk::test {

/// Builds keyed archives the way the platform's keyed archiver lays them out:
/// "$objects" starts with "$null", objects refer to one another and to their
/// class descriptions by reference numbers, "$top" names the root.
class KeyedArchiveBuilder {
  public:
    using Fields = std::vector<std::pair<std::string, plist_t>>;

    KeyedArchiveBuilder() : objects_(plist_new_array()) {
        plist_array_append_item(objects_, plist_new_string("$null"));
    }
    ~KeyedArchiveBuilder() { plist_free(objects_); }
    KeyedArchiveBuilder(const KeyedArchiveBuilder&) = delete;
    KeyedArchiveBuilder& operator=(const KeyedArchiveBuilder&) = delete;

    static plist_t ref(std::uint64_t index) { return plist_new_uid(index); }

    /// Appends any node to "$objects" (taking it over) and answers its reference.
    std::uint64_t add(plist_t node) {
        plist_array_append_item(objects_, node);
        return plist_array_get_size(objects_) - 1;
    }
    /// Replaces an object, to build cycles and broken shapes.
    void replace(std::uint64_t index, plist_t node) {
        plist_array_set_item(objects_, node, static_cast<std::uint32_t>(index));
    }

    std::uint64_t text(const std::string& value) { return add(plist_new_string(value.c_str())); }
    std::uint64_t integer(std::int64_t value) {
        return add(plist_new_uint(static_cast<std::uint64_t>(value)));
    }
    std::uint64_t real(double value) { return add(plist_new_real(value)); }
    std::uint64_t boolean(bool value) { return add(plist_new_bool(value ? 1 : 0)); }

    std::uint64_t classOf(const std::string& name) {
        auto found = classes_.find(name);
        if (found != classes_.end()) {
            return found->second;
        }
        plist_t description = plist_new_dict();
        plist_dict_set_item(description, "$classname", plist_new_string(name.c_str()));
        plist_t chain = plist_new_array();
        plist_array_append_item(chain, plist_new_string(name.c_str()));
        plist_array_append_item(chain, plist_new_string("NSObject"));
        plist_dict_set_item(description, "$classes", chain);
        return classes_[name] = add(description);
    }

    /// An object of `className` whose fields are given as inline nodes
    /// (references made with `ref`, or bools and numbers as the archiver
    /// writes them for its scalar encoders).
    std::uint64_t object(const std::string& className, const Fields& fields) {
        return add(objectNode(className, fields));
    }
    /// The same object, not added yet (for `replace`).
    plist_t objectNode(const std::string& className, const Fields& fields) {
        plist_t node = plist_new_dict();
        for (const auto& [key, value] : fields) {
            plist_dict_set_item(node, key.c_str(), value);
        }
        plist_dict_set_item(node, "$class", ref(classOf(className)));
        return node;
    }

    /// An inline array of references, as containers hold them.
    static plist_t refs(const std::vector<std::uint64_t>& indexes) {
        plist_t list = plist_new_array();
        for (auto index : indexes) {
            plist_array_append_item(list, ref(index));
        }
        return list;
    }

    std::uint64_t array(const std::vector<std::uint64_t>& elements,
                        const std::string& className = "NSArray") {
        return object(className, {{"NS.objects", refs(elements)}});
    }
    std::uint64_t textArray(const std::vector<std::string>& texts) {
        std::vector<std::uint64_t> elements;
        for (const auto& value : texts) {
            elements.push_back(text(value));
        }
        return array(elements);
    }
    std::uint64_t dictionary(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& entries,
                             const std::string& className = "NSDictionary") {
        std::vector<std::uint64_t> keys;
        std::vector<std::uint64_t> values;
        for (const auto& [key, value] : entries) {
            keys.push_back(key);
            values.push_back(value);
        }
        return object(className, {{"NS.keys", refs(keys)}, {"NS.objects", refs(values)}});
    }

    /// The archive's bytes with `root` as its top-level object.
    std::string bytes(std::uint64_t root) const { return bytesWithTop(ref(root)); }
    /// The archive's bytes with any node (taken over) under "$top"/"root".
    std::string bytesWithTop(plist_t topValue) const {
        plist_t archive = plist_new_dict();
        plist_dict_set_item(archive, "$archiver", plist_new_string("NSKeyedArchiver"));
        plist_dict_set_item(archive, "$version", plist_new_uint(100000));
        plist_t top = plist_new_dict();
        plist_dict_set_item(top, "root", topValue);
        plist_dict_set_item(archive, "$top", top);
        plist_dict_set_item(archive, "$objects", plist_copy(objects_));
        std::string result = binary(archive);
        plist_free(archive);
        return result;
    }

    static std::string binary(plist_t node) {
        char* data = nullptr;
        std::uint32_t length = 0;
        plist_to_bin(node, &data, &length);
        std::string result(data, length);
        plist_to_bin_free(data);
        return result;
    }

  private:
    plist_t objects_;
    std::map<std::string, std::uint64_t> classes_;
};

/// One user of the native SDK's archive, with what the tests usually vary.
struct NativeUserFixture {
    std::string key = "user-key";
    std::optional<std::int64_t> level = 7;
    std::optional<std::string> userId = "player-1";
    std::optional<std::string> prevId;
    std::vector<std::string> transactionIds;
    std::vector<std::int64_t> tutorCompletedSteps;
    /// Preference name and the reference of its value; none leaves the user
    /// without player preferences.
    std::optional<std::vector<std::pair<std::string, std::uint64_t>>> preferences;
};

/// Adds a "DataStorage" object for `user` and answers its reference.
inline std::uint64_t addDataStorage(KeyedArchiveBuilder& builder, const NativeUserFixture& user) {
    KeyedArchiveBuilder::Fields fields;
    if (user.level) {
        fields.emplace_back("level", plist_new_uint(static_cast<std::uint64_t>(*user.level)));
    }
    if (user.userId) {
        fields.emplace_back("userId", KeyedArchiveBuilder::ref(builder.text(*user.userId)));
    }
    if (user.prevId) {
        fields.emplace_back("prevId", KeyedArchiveBuilder::ref(builder.text(*user.prevId)));
    }
    fields.emplace_back("transactionIds",
                        KeyedArchiveBuilder::ref(builder.textArray(user.transactionIds)));
    std::vector<std::uint64_t> steps;
    for (auto step : user.tutorCompletedSteps) {
        steps.push_back(builder.integer(step));
    }
    fields.emplace_back("tutorCompletedSteps", KeyedArchiveBuilder::ref(builder.array(steps)));
    if (user.preferences) {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> entries;
        for (const auto& [name, value] : *user.preferences) {
            entries.emplace_back(builder.text(name), value);
        }
        const auto map = builder.dictionary(entries, "NSMutableDictionary");
        const auto preferences =
            builder.object("PlayerPreferences", {{"preferences", KeyedArchiveBuilder::ref(map)}});
        fields.emplace_back("playerPreferences", KeyedArchiveBuilder::ref(preferences));
    }
    return builder.object("DataStorage", fields);
}

/// Adds the "UsersStorages" root holding `users` by their keys and answers its reference.
inline std::uint64_t addUsersStorages(KeyedArchiveBuilder& builder,
                                      const std::vector<NativeUserFixture>& users,
                                      const std::string& activeUser, bool trackingAvailable) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> entries;
    for (const auto& user : users) {
        const auto storage = addDataStorage(builder, user);
        entries.emplace_back(builder.text(user.key), storage);
    }
    const auto map = builder.dictionary(entries);
    return builder.object("UsersStorages",
                          {{"activeUser", KeyedArchiveBuilder::ref(builder.text(activeUser))},
                           {"dataStorages", KeyedArchiveBuilder::ref(map)},
                           {"trackingAvailable", plist_new_bool(trackingAvailable ? 1 : 0)}});
}

/// A complete archive of one active user.
inline std::string nativeArchive(const NativeUserFixture& user, bool trackingAvailable = true) {
    KeyedArchiveBuilder builder;
    return builder.bytes(addUsersStorages(builder, {user}, user.key, trackingAvailable));
}

}  // namespace mvk::test
