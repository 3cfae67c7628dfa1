#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "KeyedArchiveBuilder.hpp"
#include "state/LegacyKeyedArchive.hpp"
#include "state/MigrationObject.hpp"
#include "state/UsersStoragesMigration.hpp"
#include "support/TempDir.hpp"

namespace mvk {
namespace {

using test::KeyedArchiveBuilder;
using test::NativeUserFixture;
using Kind = LegacyArchivedValue::Kind;

std::optional<UsersStoragesMigration> readStorages(const std::string& bytes) {
    auto archive = LegacyKeyedArchive::fromBytes(bytes);
    return archive ? UsersStoragesMigration::fromArchive(*archive) : std::nullopt;
}

std::optional<MigrationObject> readObject(const std::string& bytes) {
    auto storages = readStorages(bytes);
    return storages ? MigrationObject::fromNativeArchive(*storages) : std::nullopt;
}

TEST(LegacyKeyedArchiveTest, ReadsTheActiveUserWithItsListsAndCard) {
    KeyedArchiveBuilder builder;
    auto blob = builder.add(plist_new_data("ab", 2));
    auto nested = builder.textArray({"x"});
    auto wrapped = builder.object("NSMutableString", {{"NS.string", plist_new_string("wrapped")}});
    NativeUserFixture user;
    user.prevId = "player-0";
    user.transactionIds = {"order-1", "order-2"};
    user.tutorCompletedSteps = {1, -2, 3};
    user.preferences = {{{"flag", builder.boolean(true)},
                         {"count", builder.integer(-4)},
                         {"whole", builder.real(3.0)},
                         {"ratio", builder.real(2.5)},
                         {"name", builder.text("Ann")},
                         {"alias", wrapped},
                         {"nothing", builder.add(plist_new_string("$null"))},
                         {"nil", 0},
                         {"blob", blob},
                         {"list", nested}}};
    NativeUserFixture other;
    other.key = "other";
    other.userId = "someone-else";
    auto root = test::addUsersStorages(builder, {other, user}, user.key, true);

    auto object = readObject(builder.bytes(root));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->userId, "player-1");
    EXPECT_EQ(object->prevUserId, "player-0");
    EXPECT_EQ(object->level, 7);
    EXPECT_TRUE(object->trackingAvailable);
    EXPECT_FALSE(object->deviceId);
    EXPECT_FALSE(object->prevDeviceId);
    EXPECT_EQ(object->transactionIds, (std::vector<std::string>{"order-1", "order-2"}));
    EXPECT_EQ(object->tutorCompletedSteps, (std::vector<std::int64_t>{1, -2, 3}));
    const PeopleProperties expected{
        {"flag", true},  {"count", -4},        {"whole", 3},         {"ratio", 2.5},
        {"name", "Ann"}, {"alias", "wrapped"}, {"nothing", "$null"}, {"nil", nullptr},
    };
    EXPECT_EQ(object->userCard, expected);
}

TEST(LegacyKeyedArchiveTest, FieldsOfAnotherTypeKeepTheirDefaults) {
    KeyedArchiveBuilder builder;
    auto storage = builder.object(
        "DataStorage",
        {{"level", KeyedArchiveBuilder::ref(builder.text("7"))},
         {"userId", KeyedArchiveBuilder::ref(builder.integer(5))},
         {"transactionIds",
          KeyedArchiveBuilder::ref(builder.array({builder.text("a"), builder.integer(1)}))},
         {"tutorCompletedSteps",
          KeyedArchiveBuilder::ref(builder.array({builder.integer(1), builder.boolean(true)}))},
         {"playerPreferences", KeyedArchiveBuilder::ref(builder.textArray({"p"}))}});
    auto map = builder.dictionary({{builder.text("k"), storage}});
    auto root = builder.object("UsersStorages",
                               {{"activeUser", KeyedArchiveBuilder::ref(builder.text("k"))},
                                {"dataStorages", KeyedArchiveBuilder::ref(map)},
                                {"trackingAvailable", plist_new_uint(1)}});

    auto storages = readStorages(builder.bytes(root));
    ASSERT_TRUE(storages);
    EXPECT_FALSE(storages->trackingAvailable);
    const auto* entry = storages->activeStorage();
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->level);
    EXPECT_FALSE(entry->userUid);
    EXPECT_FALSE(entry->prevUid);
    EXPECT_FALSE(entry->playerPreferences);
    EXPECT_TRUE(entry->transactionIds.empty());
    EXPECT_TRUE(entry->tutorCompletedSteps.empty());
}

TEST(LegacyKeyedArchiveTest, GivesNoUserWithoutAnEntryForTheActiveUser) {
    KeyedArchiveBuilder builder;
    auto root = test::addUsersStorages(builder, {NativeUserFixture{}}, "someone-else", true);
    auto storages = readStorages(builder.bytes(root));
    ASSERT_TRUE(storages);
    EXPECT_EQ(storages->dataStorages.size(), 1u);
    EXPECT_FALSE(MigrationObject::fromNativeArchive(*storages));
}

TEST(LegacyKeyedArchiveTest, AnEntryOfAnotherClassEmptiesTheUsers) {
    KeyedArchiveBuilder builder;
    NativeUserFixture user;
    auto good = test::addDataStorage(builder, user);
    auto stranger = builder.object("Stranger", {});
    auto map = builder.dictionary({{builder.text(user.key), good}, {builder.text("b"), stranger}});
    auto root = builder.object("UsersStorages",
                               {{"activeUser", KeyedArchiveBuilder::ref(builder.text(user.key))},
                                {"dataStorages", KeyedArchiveBuilder::ref(map)}});
    auto storages = readStorages(builder.bytes(root));
    ASSERT_TRUE(storages);
    EXPECT_TRUE(storages->dataStorages.empty());
}

// Each case breaks one thing in an otherwise good archive; none may yield a user.
TEST(LegacyKeyedArchiveTest, MalformedArchivesYieldNothing) {
    struct Case {
        const char* name;
        std::function<std::string()> bytes;
    };
    const auto withRootField = [](const char* key, plist_t (*make)(KeyedArchiveBuilder&)) {
        return [key, make] {
            KeyedArchiveBuilder builder;
            return builder.bytes(builder.object("UsersStorages", {{key, make(builder)}}));
        };
    };
    const Case cases[] = {
        {"reference past the objects",
         withRootField("activeUser",
                       [](KeyedArchiveBuilder&) { return KeyedArchiveBuilder::ref(999); })},
        {"class reference past the objects",
         [] {
             KeyedArchiveBuilder builder;
             plist_t node = plist_new_dict();
             plist_dict_set_item(node, "$class", KeyedArchiveBuilder::ref(999));
             return builder.bytes(builder.add(node));
         }},
        {"class reference to a text",
         [] {
             KeyedArchiveBuilder builder;
             plist_t node = plist_new_dict();
             plist_dict_set_item(node, "$class", KeyedArchiveBuilder::ref(builder.text("x")));
             return builder.bytes(builder.add(node));
         }},
        {"object without a class",
         [] {
             KeyedArchiveBuilder builder;
             return builder.bytes(builder.add(plist_new_dict()));
         }},
        {"reference to a reference",
         [] {
             KeyedArchiveBuilder builder;
             auto inner = test::addUsersStorages(builder, {NativeUserFixture{}}, "user-key", true);
             return builder.bytes(builder.add(KeyedArchiveBuilder::ref(inner)));
         }},
        {"dictionary with fewer values than keys",
         [] {
             KeyedArchiveBuilder builder;
             auto map = builder.object("NSDictionary", {{"NS.keys", plist_new_array()},
                                                        {"NS.objects", plist_new_uint(1)}});
             return builder.bytes(builder.object(
                 "UsersStorages", {{"dataStorages", KeyedArchiveBuilder::ref(map)}}));
         }},
        {"top object given inline",
         [] {
             KeyedArchiveBuilder builder;
             test::addUsersStorages(builder, {NativeUserFixture{}}, "user-key", true);
             return builder.bytesWithTop(plist_new_string("root"));
         }},
        {"root of another class",
         [] {
             KeyedArchiveBuilder builder;
             return builder.bytes(builder.object("DataStorage", {}));
         }},
        {"no top object",
         [] {
             KeyedArchiveBuilder builder;
             plist_t archive = plist_new_dict();
             plist_dict_set_item(archive, "$objects", plist_new_array());
             auto bytes = KeyedArchiveBuilder::binary(archive);
             plist_free(archive);
             return bytes;
         }},
        {"property list of another shape",
         [] {
             plist_t list = plist_new_array();
             plist_array_append_item(list, plist_new_string("$top"));
             auto bytes = KeyedArchiveBuilder::binary(list);
             plist_free(list);
             return bytes;
         }},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(readObject(c.bytes())) << c.name;
    }
}

// A cycle or a long chain of references must end in a broken archive, not in
// a loop or a stack overflow, even for a reader that follows references blindly.
TEST(LegacyKeyedArchiveTest, FollowingReferencesEndsAtTheDepthBound) {
    struct Case {
        const char* name;
        std::function<std::string()> bytes;
    };
    const Case cases[] = {
        {"array holding itself",
         [] {
             KeyedArchiveBuilder builder;
             auto self = builder.array({});
             builder.replace(
                 self, builder.objectNode("NSArray",
                                          {{"NS.objects", KeyedArchiveBuilder::refs({self})}}));
             return builder.bytes(self);
         }},
        {"chain of 100 arrays",
         [] {
             KeyedArchiveBuilder builder;
             auto inner = builder.array({});
             for (int i = 0; i < 100; ++i) {
                 inner = builder.array({inner});
             }
             return builder.bytes(inner);
         }},
    };
    for (const auto& c : cases) {
        auto archive = LegacyKeyedArchive::fromBytes(c.bytes());
        ASSERT_TRUE(archive) << c.name;
        auto value = archive->topObject();
        int steps = 0;
        while (value.kind() == Kind::array && steps < 1000) {
            auto elements = value.elements();
            if (elements.empty()) {
                break;
            }
            value = elements.front();
            ++steps;
        }
        EXPECT_EQ(value.kind(), Kind::invalid) << c.name;
        EXPECT_TRUE(archive->isBroken()) << c.name;
        EXPECT_EQ(steps, static_cast<int>(LegacyKeyedArchive::maxReferenceDepth) + 1) << c.name;
    }
}

TEST(LegacyKeyedArchiveTest, ACycleThroughTheRecordsImportsNothing) {
    KeyedArchiveBuilder builder;
    NativeUserFixture user;
    // The preferences point back at the root, and the users map holds itself.
    auto root = test::addUsersStorages(builder, {user}, user.key, true);
    auto storage =
        builder.object("DataStorage", {{"userId", KeyedArchiveBuilder::ref(builder.text("p"))},
                                       {"level", plist_new_uint(1)},
                                       {"playerPreferences", KeyedArchiveBuilder::ref(root)}});
    auto storages = readStorages(builder.bytes(storage));
    EXPECT_FALSE(storages);

    KeyedArchiveBuilder selfMap;
    auto key = selfMap.text("k");
    auto map = selfMap.dictionary({});
    selfMap.replace(map, selfMap.objectNode("NSDictionary",
                                            {{"NS.keys", KeyedArchiveBuilder::refs({key})},
                                             {"NS.objects", KeyedArchiveBuilder::refs({map})}}));
    auto selfRoot =
        selfMap.object("UsersStorages", {{"activeUser", KeyedArchiveBuilder::ref(key)},
                                         {"dataStorages", KeyedArchiveBuilder::ref(map)}});
    auto cyclic = readStorages(selfMap.bytes(selfRoot));
    ASSERT_TRUE(cyclic);
    EXPECT_TRUE(cyclic->dataStorages.empty());
}

// One text referenced from many places costs its length at every place.
TEST(LegacyKeyedArchiveTest, ATextSharedTooOftenBreaksTheArchive) {
    const auto archiveSharing = [](int times) {
        KeyedArchiveBuilder builder;
        const auto big = builder.text(std::string(64 * 1024, 'x'));
        std::vector<std::pair<std::string, std::uint64_t>> preferences;
        for (int i = 0; i < times; ++i) {
            preferences.emplace_back("k" + std::to_string(i), big);
        }
        NativeUserFixture user;
        user.preferences = preferences;
        return builder.bytes(test::addUsersStorages(builder, {user}, user.key, true));
    };
    auto within = readObject(archiveSharing(100));
    ASSERT_TRUE(within);
    EXPECT_EQ(within->userCard.size(), 100u);
    EXPECT_FALSE(readObject(archiveSharing(2000)));
}

TEST(LegacyKeyedArchiveTest, ReadsOnlyRegularFilesWithinTheCap) {
    test::TempDir dir;
    const auto good = dir.path() / "good";
    std::ofstream(good, std::ios::binary) << test::nativeArchive(NativeUserFixture{});
    EXPECT_TRUE(LegacyKeyedArchive::readFile(good));

    const auto large = dir.path() / "large";
    std::ofstream(large, std::ios::binary) << test::nativeArchive(NativeUserFixture{});
    std::filesystem::resize_file(large, LegacyKeyedArchive::maxFileSize + 1);
    const auto pipe = dir.path() / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);

    for (const auto& path : {dir.path() / "missing", dir.path(), large, pipe}) {
        EXPECT_FALSE(LegacyKeyedArchive::readFile(path)) << path;
    }
}

}  // namespace
}  // namespace mvk
