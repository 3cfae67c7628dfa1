#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mvk {

class LegacyKeyedArchive;

/// One value of a keyed archive, its reference already followed. Values are
/// resolved lazily from the archive they came from, which must outlive them.
///
/// A reference that is out of range, points at something of the wrong shape,
/// or lies deeper than the archive allows reads as `invalid` and marks the
/// archive as broken (`LegacyKeyedArchive::isBroken`), the way the platform's
/// unarchiver gives up on the whole archive.
class LegacyArchivedValue {
  public:
    enum class Kind : std::uint8_t {
        missing,  ///< no such key
        invalid,  ///< a broken reference or structure
        null,     ///< the nil reference or an archived null object
        boolean,
        integer,
        real,
        text,
        other,  ///< data, a date: values the importer never reads
        array,
        dictionary,
        object,  ///< any other archived class
    };

    LegacyArchivedValue() = default;

    Kind kind() const { return kind_; }

    std::optional<bool> asBool() const;
    /// An integer, or a real that is exactly a signed 64-bit integer; never a bool.
    std::optional<std::int64_t> asInteger() const;
    /// A real or an integer, as a double.
    std::optional<double> asNumber() const;
    /// Valid UTF-8: invalid sequences in the file become U+FFFD.
    std::optional<std::string> asText() const;

    /// The archived class name of an object; empty for every other kind.
    const std::string& className() const { return className_; }
    /// An object's field; `missing` when the key is absent or this is no object.
    LegacyArchivedValue member(std::string_view key) const;
    /// An array's elements in order; none for every other kind.
    std::vector<LegacyArchivedValue> elements() const;
    /// A dictionary's key and value pairs in archive order; none for every other kind.
    std::vector<std::pair<LegacyArchivedValue, LegacyArchivedValue>> entries() const;

  private:
    friend class LegacyKeyedArchive;

    LegacyArchivedValue(Kind kind) : kind_(kind) {}

    const LegacyKeyedArchive* archive_ = nullptr;
    /// The scalar itself, or the archived dictionary of a container or object.
    plist_t node_ = nullptr;
    Kind kind_ = Kind::missing;
    /// References followed from the top object to reach this value.
    std::uint32_t depth_ = 0;
    std::string className_;
};

}  // namespace mvk
