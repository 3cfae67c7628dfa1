#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "KeyedArchiveBuilder.hpp"
#include "state/LegacyKeyedArchive.hpp"
#include "state/LegacyPlistScan.hpp"
#include "state/MigrationObject.hpp"
#include "state/UsersStoragesMigration.hpp"

namespace mvk {
namespace {

/// Writes binary property lists object by object, including shapes that no
/// library writer produces: cycles, objects shared many times, deep nesting.
/// Offsets and references are four bytes wide.
class RawBinaryPlist {
  public:
    std::uint32_t add(std::string encoded) {
        objects_.push_back(std::move(encoded));
        return static_cast<std::uint32_t>(objects_.size() - 1);
    }
    void set(std::uint32_t index, std::string encoded) { objects_[index] = std::move(encoded); }

    static std::string bigEndian(std::uint64_t value, int width) {
        std::string bytes;
        for (int i = width - 1; i >= 0; --i) {
            bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
        return bytes;
    }
    static std::string marker(std::uint8_t type, std::uint32_t count) {
        if (count < 15) {
            return std::string(1, static_cast<char>(type << 4 | count));
        }
        return std::string(1, static_cast<char>(type << 4 | 0x0F)) + '\x12' + bigEndian(count, 4);
    }
    static std::string text(const std::string& value) { return marker(0x5, value.size()) + value; }
    static std::string array(const std::vector<std::uint32_t>& elements) {
        std::string encoded = marker(0xA, elements.size());
        for (auto element : elements) {
            encoded += bigEndian(element, 4);
        }
        return encoded;
    }
    static std::string dictionary(
        const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries) {
        std::string encoded = marker(0xD, entries.size());
        for (const auto& entry : entries) {
            encoded += bigEndian(entry.first, 4);
        }
        for (const auto& entry : entries) {
            encoded += bigEndian(entry.second, 4);
        }
        return encoded;
    }

    std::string bytes(std::uint32_t top) const {
        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const auto& object : objects_) {
            offsets.push_back(out.size());
            out += object;
        }
        const std::uint64_t tableAt = out.size();
        for (auto offset : offsets) {
            out += bigEndian(offset, 4);
        }
        out += std::string(6, '\0') + '\x04' + '\x04';
        out += bigEndian(objects_.size(), 8) + bigEndian(top, 8) + bigEndian(tableAt, 8);
        return out;
    }

  private:
    std::vector<std::string> objects_;
};

/// `depth` arrays, each holding the next, the last one empty.
std::string nestedArrays(std::uint32_t depth) {
    RawBinaryPlist plist;
    for (std::uint32_t i = 0; i + 1 < depth; ++i) {
        plist.add(RawBinaryPlist::array({i + 1}));
    }
    plist.add(RawBinaryPlist::array({}));
    return plist.bytes(0);
}

TEST(LegacyPlistScanTest, AcceptsWhatTheLibraryWritesAndSharedObjectsWithinBounds) {
    EXPECT_TRUE(LegacyPlistScan::isSafeToLoad(test::nativeArchive(test::NativeUserFixture{})));
    EXPECT_TRUE(LegacyPlistScan::isSafeToLoad(nestedArrays(LegacyPlistScan::maxNesting)));

    RawBinaryPlist plist;
    auto key = plist.add(RawBinaryPlist::text("k"));
    auto shared = plist.add(RawBinaryPlist::array({key, key}));
    auto top = plist.add(RawBinaryPlist::dictionary({{key, shared}, {key, shared}}));
    EXPECT_TRUE(LegacyPlistScan::isSafeToLoad(plist.bytes(top)));

    RawBinaryPlist wide;  // a hundred copies of 100 KB
    auto big = wide.add(RawBinaryPlist::text(std::string(100 * 1024, 'x')));
    auto wideTop = wide.add(RawBinaryPlist::array(std::vector<std::uint32_t>(100, big)));
    EXPECT_TRUE(LegacyPlistScan::isSafeToLoad(wide.bytes(wideTop)));
}

TEST(LegacyPlistScanTest, RefusesShapesThatWouldExhaustTheLoader) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    RawBinaryPlist cycle;
    cycle.add(RawBinaryPlist::array({1}));
    cycle.add(RawBinaryPlist::array({0}));

    RawBinaryPlist wide;  // ten thousand copies of 100 KB
    auto big = wide.add(RawBinaryPlist::text(std::string(100 * 1024, 'x')));
    auto wideTop = wide.add(RawBinaryPlist::array(std::vector<std::uint32_t>(10000, big)));

    RawBinaryPlist doubling;  // 2^40 leaves from 41 objects
    for (std::uint32_t i = 0; i < 40; ++i) {
        doubling.add(RawBinaryPlist::array({i + 1, i + 1}));
    }
    doubling.add(RawBinaryPlist::text("leaf"));

    // A shallow object shared below a deep one nests deeper than either.
    RawBinaryPlist sharedDeep;
    const std::uint32_t half = LegacyPlistScan::maxNesting - 2;
    for (std::uint32_t i = 0; i < half; ++i) {
        sharedDeep.add(RawBinaryPlist::array({i + 1}));
    }
    sharedDeep.add(RawBinaryPlist::array({}));
    const std::uint32_t second = half + 1;
    for (std::uint32_t i = 0; i < half; ++i) {
        sharedDeep.add(RawBinaryPlist::array({second + i + 1}));
    }
    sharedDeep.add(RawBinaryPlist::array({0}));
    auto sharedTop = sharedDeep.add(RawBinaryPlist::array({0, second}));

    const Case cases[] = {
        {"one level too deep", nestedArrays(LegacyPlistScan::maxNesting + 1)},
        {"nested a hundred thousand deep", nestedArrays(100000)},
        {"cycle", cycle.bytes(0)},
        {"one text copied ten thousand times", wide.bytes(wideTop)},
        {"doubling at every level", doubling.bytes(0)},
        {"shared chain reached deep", sharedDeep.bytes(sharedTop)},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(LegacyPlistScan::isSafeToLoad(c.bytes)) << c.name;
        EXPECT_FALSE(LegacyKeyedArchive::fromBytes(c.bytes)) << c.name;
    }
}

TEST(LegacyPlistScanTest, RefusesInconsistentFiles) {
    RawBinaryPlist plist;
    auto key = plist.add(RawBinaryPlist::text("k"));
    auto number = plist.add("\x10\x05");
    auto top = plist.add(RawBinaryPlist::dictionary({{key, number}}));
    const std::string good = plist.bytes(top);
    ASSERT_TRUE(LegacyPlistScan::isSafeToLoad(good));

    const auto patched = [&](std::size_t at, std::string bytes) {
        auto copy = good;
        copy.replace(at, bytes.size(), bytes);
        return copy;
    };
    const std::size_t trailer = good.size() - 32;
    const std::size_t table = good.size() - 32 - 12;
    const std::size_t topObject = 8 + 2 + 2;

    RawBinaryPlist numberKey;
    auto badKey = numberKey.add("\x10\x05");
    auto badTop = numberKey.add(RawBinaryPlist::dictionary({{badKey, badKey}}));

    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"other magic", patched(0, "bplist01")},
        {"offset width zero", patched(trailer + 6, std::string(1, '\0'))},
        {"reference width nine", patched(trailer + 7, "\x09")},
        {"more objects than the table holds", patched(trailer + 8 + 7, "\x09")},
        {"top object past the table", patched(trailer + 16 + 7, "\x03")},
        {"table past the trailer", patched(trailer + 24 + 6, "\x7F")},
        {"object offset inside the table", patched(table + 4, RawBinaryPlist::bigEndian(table, 4))},
        {"reference past the objects", patched(topObject + 5, "\x09")},
        {"unknown marker", patched(8 + 2, "\x70")},
        {"count longer than the file", patched(topObject, "\xDF\x12\x7F\xFF\xFF\xFF")},
        {"key that is no text", numberKey.bytes(badTop)},
        {"too short", good.substr(0, 40)},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(LegacyPlistScan::isSafeToLoad(c.bytes)) << c.name;
    }
}

// Every truncation and many single-byte changes of a real archive: each must
// read as an archive or not at all, under the sanitizers without a fault.
TEST(LegacyPlistScanTest, DamagedArchivesNeverCrashTheReader) {
    test::NativeUserFixture user;
    user.transactionIds = {"a", "b"};
    user.tutorCompletedSteps = {1, 2};
    const auto good = test::nativeArchive(user);
    ASSERT_TRUE(LegacyKeyedArchive::fromBytes(good));

    std::size_t read = 0;
    const auto tryRead = [&read](const std::string& bytes) {
        if (auto archive = LegacyKeyedArchive::fromBytes(bytes)) {
            if (auto storages = UsersStoragesMigration::fromArchive(*archive)) {
                read += MigrationObject::fromNativeArchive(*storages) ? 1 : 0;
            }
        }
    };
    for (std::size_t length = 0; length < good.size(); ++length) {
        tryRead(good.substr(0, length));
    }
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (unsigned char value : {0x00, 0x01, 0x0F, 0x7F, 0x80, 0xFF}) {
            auto damaged = good;
            damaged[at] = static_cast<char>(value);
            tryRead(damaged);
        }
    }
    // Changes to texts and numbers still read; the sweep only asserts that
    // the reader survived every one of them.
    EXPECT_GT(read, 0u);
}

}  // namespace
}  // namespace mvk
