#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "state/LegacyArchivedValue.hpp"

namespace mvk {

/// A keyed archive written by the platform's keyed archiver: a binary property
/// list whose "$objects" array holds every archived object, which refer to one
/// another by reference numbers, and whose "$top" names the top-level objects.
///
/// Everything in the file is distrusted: its size is capped, its structure is
/// checked before the plist library loads it, every reference is checked for
/// range and shape when followed, references are followed only so deep, and
/// the total work of reading values is bounded, so neither a cycle nor an
/// object shared many times can make a read loop, overflow or balloon.
///
/// Not thread-safe: values read from it share its work account.
class LegacyKeyedArchive {
  public:
    static constexpr std::uintmax_t maxFileSize = 16u * 1024 * 1024;
    /// References followed from a top-level object; the archived classes the
    /// importer reads need five.
    static constexpr std::uint32_t maxReferenceDepth = 32;
    /// Every value read counts `valueCost` plus its text's bytes; past this
    /// the archive is broken.
    static constexpr std::uint64_t maxReadCost = 64ull * 1024 * 1024;
    static constexpr std::uint64_t valueCost = 64;

    /// The archive in `bytes`, or null when they are too large, no safe
    /// binary property list, or have no "$objects" array and "$top" dictionary.
    static std::unique_ptr<LegacyKeyedArchive> fromBytes(std::string_view bytes);
    /// The archive in a file; null when the file is missing, unreadable, not
    /// a regular file, larger than `maxFileSize`, or no archive.
    static std::unique_ptr<LegacyKeyedArchive> readFile(const std::filesystem::path& file);

    ~LegacyKeyedArchive();
    LegacyKeyedArchive(const LegacyKeyedArchive&) = delete;
    LegacyKeyedArchive& operator=(const LegacyKeyedArchive&) = delete;

    /// The top-level object archived under `key` ("root" for an archive of one object).
    LegacyArchivedValue topObject(std::string_view key = "root") const;

    /// True once a read met a broken reference or ran out of depth or work;
    /// what was read from the archive must then be thrown away.
    bool isBroken() const { return broken_; }

  private:
    friend class LegacyArchivedValue;

    LegacyKeyedArchive(plist_t root, plist_t objects, plist_t top);

    /// `node` as found in an object's field, an array or a dictionary.
    LegacyArchivedValue resolve(plist_t node, std::uint32_t depth) const;
    LegacyArchivedValue resolveArchivedObject(plist_t object, std::uint32_t depth) const;
    LegacyArchivedValue broken() const;
    bool charge(std::uint64_t cost) const;

    plist_t root_;
    plist_t objects_;
    plist_t top_;
    std::uint32_t objectCount_;
    mutable std::uint64_t spent_ = 0;
    mutable bool broken_ = false;
};

}  // namespace mvk
