#include "state/LegacyKeyedArchive.hpp"

#include <limits>
#include <string>

#include "state/LegacyFileReader.hpp"
#include "state/LegacyPlistScan.hpp"

namespace mvk {

namespace {

using Kind = LegacyArchivedValue::Kind;

bool isNodeOfType(plist_t node, plist_type type) {
    return node != nullptr && plist_get_node_type(node) == type;
}

/// The kind of an archived container or wrapper class, read from its fields;
/// `object` for every class the archiver does not treat specially.
Kind kindOfClass(const std::string& className, plist_t fields) {
    if (className == "NSDictionary" || className == "NSMutableDictionary") {
        plist_t keys = plist_dict_get_item(fields, "NS.keys");
        plist_t values = plist_dict_get_item(fields, "NS.objects");
        if (!isNodeOfType(keys, PLIST_ARRAY) || !isNodeOfType(values, PLIST_ARRAY) ||
            plist_array_get_size(keys) != plist_array_get_size(values)) {
            return Kind::invalid;
        }
        return Kind::dictionary;
    }
    if (className == "NSArray" || className == "NSMutableArray") {
        return isNodeOfType(plist_dict_get_item(fields, "NS.objects"), PLIST_ARRAY) ? Kind::array
                                                                                    : Kind::invalid;
    }
    if (className == "NSString" || className == "NSMutableString") {
        return isNodeOfType(plist_dict_get_item(fields, "NS.string"), PLIST_STRING) ? Kind::text
                                                                                    : Kind::invalid;
    }
    if (className == "NSNull") {
        return Kind::null;
    }
    return Kind::object;
}

}  // namespace

std::unique_ptr<LegacyKeyedArchive> LegacyKeyedArchive::fromBytes(std::string_view bytes) {
    if (bytes.size() > maxFileSize || !LegacyPlistScan::isSafeToLoad(bytes)) {
        return nullptr;
    }
    plist_t root = nullptr;
    plist_from_bin(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    if (root == nullptr) {
        return nullptr;
    }
    plist_t objects = nullptr;
    plist_t top = nullptr;
    if (plist_get_node_type(root) == PLIST_DICT) {
        objects = plist_dict_get_item(root, "$objects");
        top = plist_dict_get_item(root, "$top");
    }
    if (!isNodeOfType(objects, PLIST_ARRAY) || !isNodeOfType(top, PLIST_DICT) ||
        plist_array_get_size(objects) == 0) {
        plist_free(root);
        return nullptr;
    }
    return std::unique_ptr<LegacyKeyedArchive>(new LegacyKeyedArchive(root, objects, top));
}

std::unique_ptr<LegacyKeyedArchive> LegacyKeyedArchive::readFile(
    const std::filesystem::path& file) {
    auto bytes = LegacyFileReader::read(file, maxFileSize);
    return bytes ? fromBytes(*bytes) : nullptr;
}

LegacyKeyedArchive::LegacyKeyedArchive(plist_t root, plist_t objects, plist_t top)
    : root_(root), objects_(objects), top_(top), objectCount_(plist_array_get_size(objects)) {}

LegacyKeyedArchive::~LegacyKeyedArchive() {
    plist_free(root_);
}

LegacyArchivedValue LegacyKeyedArchive::topObject(std::string_view key) const {
    const std::string name(key);
    plist_t reference = plist_dict_get_item(top_, name.c_str());
    if (reference == nullptr) {
        return {};
    }
    // The top names objects only by reference.
    if (plist_get_node_type(reference) != PLIST_UID) {
        return broken();
    }
    return resolve(reference, 0);
}

LegacyArchivedValue LegacyKeyedArchive::broken() const {
    broken_ = true;
    return LegacyArchivedValue(Kind::invalid);
}

bool LegacyKeyedArchive::charge(std::uint64_t cost) const {
    if (cost > maxReadCost - spent_) {
        spent_ = maxReadCost;
        return false;
    }
    spent_ += cost;
    return true;
}

LegacyArchivedValue LegacyKeyedArchive::resolve(plist_t node, std::uint32_t depth) const {
    if (node == nullptr) {
        return {};
    }
    if (broken_ || depth > maxReferenceDepth || !charge(valueCost)) {
        return broken();
    }
    bool viaReference = false;
    if (plist_get_node_type(node) == PLIST_UID) {
        std::uint64_t index = 0;
        plist_get_uid_val(node, &index);
        // Reference 0 is the archiver's nil.
        if (index == 0) {
            return LegacyArchivedValue(Kind::null);
        }
        if (index >= objectCount_) {
            return broken();
        }
        node = plist_array_get_item(objects_, static_cast<std::uint32_t>(index));
        viaReference = true;
    }

    LegacyArchivedValue value;
    value.archive_ = this;
    value.node_ = node;
    value.depth_ = depth;
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN:
            value.kind_ = Kind::boolean;
            return value;
        case PLIST_UINT:
            value.kind_ = Kind::integer;
            return value;
        case PLIST_REAL:
            value.kind_ = Kind::real;
            return value;
        case PLIST_STRING: {
            std::uint64_t length = 0;
            plist_get_string_ptr(node, &length);
            if (!charge(length)) {
                return broken();
            }
            value.kind_ = Kind::text;
            return value;
        }
        case PLIST_DATA:
        case PLIST_DATE:
            value.kind_ = Kind::other;
            return value;
        case PLIST_DICT:
            // Archived objects live in "$objects" and are only ever referenced.
            return viaReference ? resolveArchivedObject(node, depth) : broken();
        default:
            // A reference to a reference, or a bare array: no archiver writes these.
            return broken();
    }
}

LegacyArchivedValue LegacyKeyedArchive::resolveArchivedObject(plist_t object,
                                                              std::uint32_t depth) const {
    plist_t classReference = plist_dict_get_item(object, "$class");
    if (!isNodeOfType(classReference, PLIST_UID)) {
        return broken();
    }
    std::uint64_t classIndex = 0;
    plist_get_uid_val(classReference, &classIndex);
    if (classIndex == 0 || classIndex >= objectCount_) {
        return broken();
    }
    plist_t classDescription =
        plist_array_get_item(objects_, static_cast<std::uint32_t>(classIndex));
    plist_t className = isNodeOfType(classDescription, PLIST_DICT)
                            ? plist_dict_get_item(classDescription, "$classname")
                            : nullptr;
    if (!isNodeOfType(className, PLIST_STRING)) {
        return broken();
    }
    std::uint64_t length = 0;
    const char* name = plist_get_string_ptr(className, &length);
    if (name == nullptr || !charge(length)) {
        return broken();
    }

    LegacyArchivedValue value;
    value.archive_ = this;
    value.depth_ = depth;
    value.className_.assign(name, length);
    value.kind_ = kindOfClass(value.className_, object);
    switch (value.kind_) {
        case Kind::invalid:
            return broken();
        case Kind::text:
            value.node_ = plist_dict_get_item(object, "NS.string");
            plist_get_string_ptr(value.node_, &length);
            if (!charge(length)) {
                return broken();
            }
            value.className_.clear();
            return value;
        case Kind::object:
            value.node_ = object;
            return value;
        default:
            value.node_ = object;
            value.className_.clear();
            return value;
    }
}

}  // namespace mvk
