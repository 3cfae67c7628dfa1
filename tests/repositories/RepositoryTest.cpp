#include <gtest/gtest.h>

#include <concepts>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "RecordingDatabase.hpp"
#include "abtest/ABTestsExperimentStateRepository.hpp"
#include "abtest/ABTestsProjectRepository.hpp"
#include "events/CurrencyAccrualResourcesRepository.hpp"
#include "events/LevelResourcesRepository.hpp"
#include "purchases/SubscriptionRepository.hpp"
#include "records/ABTestsExperimentRepository.hpp"
#include "records/MessagingCategoryRepository.hpp"
#include "records/PeopleRepository.hpp"
#include "state/IdentifiersRepository.hpp"
#include "state/ProjectRepository.hpp"
#include "state/RealPaymentRepository.hpp"
#include "state/ToolsRepository.hpp"
#include "state/TutorialRepository.hpp"
#include "state/UserRepository.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"

namespace mvk {

void PrintTo(const SQLiteValue& value, std::ostream* out) {
    *out << value.debugDescription();
}

namespace {

// Per table: a distinct row number `n` owned by `owner` (the user's row id in
// tables of user data, the project's elsewhere), and a change to every kind of
// column the table has.
template <class Repo>
struct Rows;

template <>
struct Rows<ProjectRepository> {
    static auto make(int n, std::int64_t owner) {
        auto project = std::make_shared<Project>("key-" + std::to_string(n));
        project->activeUserId = owner;
        project->applicationBundle = "com.example.game";
        project->applicationVersion = "1." + std::to_string(n);
        project->configuration.countForRequest = 10 + n;
        project->savedTime = 1'700'000'000'000 + n;
        project->isMigrated = n % 2 == 1;
        return project;
    }
    static void change(Project& project) {
        project.trackingAvailable = false;
        project.isReferralSent = true;
        project.applicationBuildVersion = "77";
        project.activeUserId.reset();
        project.categoriesVersion = 4;
        project.configuration.exclude = ExcludeEvents{.version = 3, .all = true};
    }
};

template <>
struct Rows<UserRepository> {
    static auto make(int n, std::int64_t owner) {
        auto user = std::make_shared<User>(owner, "user-" + std::to_string(n), n == 0);
        user->level = n + 1;
        user->sessionId = 1'700'000'000'000 + n;
        user->lastForegroundTime = 1'700'000'000'500 + n;
        return user;
    }
    static void change(User& user) {
        user.level += 5;
        user.previousUserId = user.userId;
        user.userId = user.userId.value_or("") + "-renamed";
        user.sessionId.reset();
        user.lastBackgroundTime = 1'800'000'000'000;
        user.isResourceAggregationEnable = false;
    }
};

template <>
struct Rows<IdentifiersRepository> {
    static auto make(int n, std::int64_t owner) {
        auto identifiers = std::make_shared<DeviceIdentifiers>(
            owner, "device-" + std::to_string(n), "uuid-" + std::to_string(n), std::nullopt);
        identifiers->morvanixId = n;
        return identifiers;
    }
    static void change(DeviceIdentifiers& identifiers) {
        identifiers.previousDeviceIdentifier = identifiers.deviceIdentifier;
        identifiers.deviceIdentifier = "device-new";
        identifiers.crossPlatformMorvanixId = 7;
        identifiers.morvanixIdTimestamp = 1'700'000'000'000;
    }
};

template <>
struct Rows<ToolsRepository> {
    static auto make(int n, std::int64_t) {
        return std::make_shared<SdkTools>(
            SdkTools{.properties = {{"sdkVersion", "2.2." + std::to_string(n)}}});
    }
    static void change(SdkTools& tools) { tools.properties["launches"] = 5; }
};

template <>
struct Rows<LevelResourcesRepository> {
    static auto make(int n, std::int64_t owner) {
        return LevelResource{.userId = owner,
                             .type = LevelResourceType::bought,
                             .name = "gold-" + std::to_string(n),
                             .amount = 10 * n};
    }
    static void change(LevelResource& resource) {
        resource.type = LevelResourceType::spent;
        resource.amount += 5;
    }
};

template <>
struct Rows<CurrencyAccrualResourcesRepository> {
    static auto make(int n, std::int64_t owner) {
        return CurrencyAccrualResource{.userId = owner,
                                       .type = MVKAccrualType::earned,
                                       .name = "gems",
                                       .amount = n,
                                       .source = "quest-" + std::to_string(n),
                                       .timestamp = 1'700'000'000'000 + n};
    }
    static void change(CurrencyAccrualResource& accrual) {
        accrual.type = MVKAccrualType::bought;
        accrual.amount += 7;
        accrual.timestamp += 1000;
    }
};

template <>
struct Rows<RealPaymentRepository> {
    static auto make(int n, std::int64_t owner) {
        return RealPaymentMark{.projectId = owner, .orderId = "order-" + std::to_string(n)};
    }
    static void change(RealPaymentMark& mark) { mark.orderId += "-refund"; }
};

template <>
struct Rows<TutorialRepository> {
    static auto make(int n, std::int64_t owner) { return TutorialMark{.userId = owner, .step = n}; }
    static void change(TutorialMark& mark) { mark.step += 100; }
};

template <>
struct Rows<PeopleRepository> {
    static auto make(int n, std::int64_t owner) {
        auto card = std::make_shared<PeopleCard>(owner);
        card->properties = {{"name", "player " + std::to_string(n)}, {"age", n}};
        card->encodeProperties();
        card->changedKeys = {"name", "a,b"};
        return card;
    }
    static void change(PeopleCard& card) {
        card.updated = true;
        card.cleared = true;
        card.changedKeys.push_back("age");
        card.properties["gender"] = MVKGender::female;
        card.encodeProperties();
    }
};

template <>
struct Rows<MessagingCategoryRepository> {
    static auto make(int n, std::int64_t) {
        return MessagingCategory{
            .id = "category-" + std::to_string(n),
            .buttons = {{.id = "open", .text = "Open", .activationMode = "foreground"}}};
    }
    static void change(MessagingCategory& category) {
        category.buttons.push_back({.id = "close", .text = "Close"});
    }
};

template <>
struct Rows<SubscriptionRepository> {
    static auto make(int n, std::int64_t owner) {
        auto info = std::make_shared<SubscriptionInfo>(owner);
        info->alreadyRestored = n % 2 == 1;
        return info;
    }
    static void change(SubscriptionInfo& info) {
        info.productIsChanged = true;
        info.alreadySendRestoreEvent = true;
    }
};

template <>
struct Rows<ABTestsProjectRepository> {
    static auto make(int n, std::int64_t owner) {
        return std::make_shared<ABTestsProject>(
            ABTestsProject{.projectId = owner,
                           .version = n,
                           .userProperties = ABTestUserProperties{.country = "DE"}});
    }
    static void change(ABTestsProject& project) {
        project.version += 1;
        project.userProperties.reset();
    }
};

template <>
struct Rows<ABTestsExperimentRepository> {
    static auto make(int n, std::int64_t owner) {
        return std::make_shared<ABTestsExperiment>(ABTestsExperiment{
            .projectId = owner,
            .experimentId = 100 + n,
            .creationDate = 1'700'000'000'000,
            .updateDate = 1'700'000'000'001,
            .isTesting = n % 2 == 1,
            .parameters = {{.key = "color", .values = {{"A", "red"}, {"B", 2.5}}}}});
    }
    static void change(ABTestsExperiment& experiment) {
        experiment.completionDate = 1'800'000'000'000;
        experiment.parameters.clear();
    }
};

template <>
struct Rows<ABTestsExperimentStateRepository> {
    static auto make(int n, std::int64_t owner) {
        return std::make_shared<ABTestsExperimentState>(ABTestsExperimentState{
            .userId = owner,
            .experimentId = 100 + n,
            .involvement = ExperimentMarker{.idKey = 100 + n, .group = "A"}});
    }
    static void change(ABTestsExperimentState& state) {
        state.runAbility = false;
        state.involvement.reset();
    }
};

template <class Repo>
class RepositoryTest : public test::StorageTest {
  protected:
    using Item = typename Repo::Item;
    using Row = typename Repo::Row;
    using Key = typename Repo::Key;
    /// What a row is as far as the table can tell: its id and its columns.
    using Snapshot = std::pair<std::int64_t, ContentValues>;

    RepositoryTest() { open(); }

    void open() {
        provider_ = std::make_shared<SQLiteProvider>("app-key");
        database_ = std::make_shared<test::RecordingDatabase>(provider_);
        repository_ = std::make_unique<Repo>(database_);
    }

    /// Drops the repository and the provider and opens the file again, as the
    /// next start of the library would.
    void reopen() {
        repository_.reset();
        database_.reset();
        provider_.reset();
        open();
    }

    static Row& rowOf(Item& item) {
        if constexpr (isSharedRow<Item>) {
            return *item;
        } else {
            return item;
        }
    }

    static Snapshot snapshot(Item item) {
        const Row& row = rowOf(item);
        return {row.idKey, Repo::columns(row)};
    }

    static std::vector<Snapshot> snapshots(const std::vector<Item>& items) {
        std::vector<Snapshot> result;
        for (const auto& item : items) {
            result.push_back(snapshot(item));
        }
        return result;
    }

    /// Inserts row `n` through `repository`; answers the row as it is now
    /// stored (for a value row, a copy with the new id).
    Item insert(Repo& repository, int n, std::int64_t owner = 1) {
        Item item = Rows<Repo>::make(n, owner);
        auto id = repository.insert(item);
        EXPECT_TRUE(id.has_value());
        if constexpr (isSharedRow<Item>) {
            EXPECT_EQ(item->idKey, id.value_or(-2));
        } else {
            EXPECT_EQ(item.idKey, -1) << "the caller's value is not the stored copy";
            item.idKey = id.value_or(-2);
        }
        return item;
    }
    Item insert(int n, std::int64_t owner = 1) { return insert(*repository_, n, owner); }

    static Key keyOf(Item item) {
        if constexpr (std::same_as<Key, std::string>) {
            return rowOf(item).applicationKey();
        } else {
            return rowOf(item).idKey;
        }
    }
    static Key missingKey() {
        if constexpr (std::same_as<Key, std::string>) {
            return "no-such-key";
        } else {
            return 987'654;
        }
    }

    std::shared_ptr<SQLiteProvider> provider_;
    std::shared_ptr<test::RecordingDatabase> database_;
    std::unique_ptr<Repo> repository_;
};

using AllRepositories =
    ::testing::Types<ProjectRepository, UserRepository, IdentifiersRepository, ToolsRepository,
                     LevelResourcesRepository, CurrencyAccrualResourcesRepository,
                     RealPaymentRepository, TutorialRepository, PeopleRepository,
                     MessagingCategoryRepository, SubscriptionRepository, ABTestsProjectRepository,
                     ABTestsExperimentRepository, ABTestsExperimentStateRepository>;
TYPED_TEST_SUITE(RepositoryTest, AllRepositories);

TYPED_TEST(RepositoryTest, RowsReadBackEqualAfterTheProviderIsReopened) {
    std::vector<typename TestFixture::Item> inserted = {this->insert(0, 1), this->insert(1, 1),
                                                        this->insert(2, 2)};
    EXPECT_LT(this->rowOf(inserted[0]).idKey, this->rowOf(inserted[1]).idKey);
    EXPECT_LT(this->rowOf(inserted[1]).idKey, this->rowOf(inserted[2]).idKey);

    auto cached = this->repository_->list().value();
    EXPECT_EQ(this->snapshots(cached), this->snapshots(inserted));
    if constexpr (isSharedRow<typename TestFixture::Item>) {
        EXPECT_EQ(cached[1], inserted[1]) << "the cache hands out the caller's own object";
    }

    this->reopen();
    EXPECT_EQ(this->snapshots(this->repository_->list().value()), this->snapshots(inserted));
}

TYPED_TEST(RepositoryTest, FirstInsertReadsStoredRowsAndGetFindsByKey) {
    auto first = this->insert(0);
    auto second = this->insert(1);

    TypeParam fresh(this->database_);
    auto third = this->insert(fresh, 2);
    EXPECT_EQ(this->snapshots(fresh.list().value()), this->snapshots({first, second, third}));

    auto found = fresh.get(this->keyOf(second)).value();
    ASSERT_TRUE(found);
    if constexpr (isSharedRow<typename TestFixture::Item>) {
        EXPECT_EQ(this->snapshot(found), this->snapshot(second));
    } else {
        EXPECT_EQ(this->snapshot(*found), this->snapshot(second));
    }
    EXPECT_FALSE(fresh.get(this->missingKey()).value());
}

TYPED_TEST(RepositoryTest, UpdateWritesEveryColumnAndReplacesTheCachedRow) {
    this->insert(0);
    this->insert(1);
    auto changed = this->repository_->list().value()[1];
    Rows<TypeParam>::change(this->rowOf(changed));
    this->repository_->update(changed);
    EXPECT_EQ(this->snapshot(this->repository_->list().value()[1]), this->snapshot(changed));

    this->reopen();
    auto stored = this->repository_->list().value();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(this->snapshot(stored[1]), this->snapshot(changed));

    // A repository that has not read its table updates the row all the same,
    // without reading the table for it.
    auto again = stored[0];
    Rows<TypeParam>::change(this->rowOf(again));
    TypeParam fresh(this->database_);
    const int queries = this->database_->queries;
    fresh.update(again);
    EXPECT_EQ(this->database_->queries, queries);
    EXPECT_EQ(this->snapshot(fresh.list().value()[0]), this->snapshot(again));
}

TYPED_TEST(RepositoryTest, DeleteItemsDropsTheRowsFromCacheAndTable) {
    std::vector<typename TestFixture::Item> rows;
    for (int n = 0; n < 4; ++n) {
        rows.push_back(this->insert(n));
    }
    this->repository_->deleteItems({rows[2], rows[0], rows[3]});

    ASSERT_EQ(this->database_->deletes.size(), 1u);
    const auto& statement = this->database_->deletes[0];
    EXPECT_EQ(statement.selection, "id IN (?, ?, ?)");
    EXPECT_EQ(statement.arguments,
              (std::vector<SQLiteValue>{this->rowOf(rows[2]).idKey, this->rowOf(rows[0]).idKey,
                                        this->rowOf(rows[3]).idKey}));
    EXPECT_EQ(this->snapshots(this->repository_->list().value()), this->snapshots({rows[1]}));

    this->repository_->deleteItems({});
    EXPECT_EQ(this->database_->deletes.size(), 1u);
    EXPECT_EQ(this->repository_->list().value().size(), 1u);

    this->reopen();
    EXPECT_EQ(this->snapshots(this->repository_->list().value()), this->snapshots({rows[1]}));
}

TYPED_TEST(RepositoryTest, ClearEmptiesTheCacheAndAnEmptyTableIsReadOnce) {
    TypeParam empty(this->database_);
    int queries = this->database_->queries;
    EXPECT_TRUE(empty.list().value().empty());
    EXPECT_TRUE(empty.list().value().empty());
    EXPECT_EQ(this->database_->queries, queries + 1);

    auto old = this->insert(0);
    this->insert(1);
    EXPECT_TRUE(this->repository_->clear());

    queries = this->database_->queries;
    EXPECT_TRUE(this->repository_->list().value().empty());
    EXPECT_EQ(this->database_->queries, queries) << "an emptied table needs no read";

    auto next = this->insert(2);
    EXPECT_GT(this->rowOf(next).idKey, this->rowOf(old).idKey) << "ids are never handed out twice";
    EXPECT_EQ(this->snapshots(this->repository_->list().value()), this->snapshots({next}));
}

template <class Repo>
class UserDataRepositoryTest : public RepositoryTest<Repo> {};

using UserDataRepositories =
    ::testing::Types<LevelResourcesRepository, CurrencyAccrualResourcesRepository,
                     TutorialRepository, PeopleRepository, ABTestsExperimentStateRepository>;
TYPED_TEST_SUITE(UserDataRepositoryTest, UserDataRepositories);

TYPED_TEST(UserDataRepositoryTest, DeleteForUsersKeepsOtherUsersRows) {
    auto kept = this->insert(0, 2);
    this->insert(1, 1);
    this->insert(2, 3);
    auto alsoKept = this->insert(3, 2);
    this->repository_->deleteForDataForUsers({1, 3});
    EXPECT_EQ(this->database_->deletes.back().selection, "userId IN (?, ?)");
    EXPECT_EQ(this->snapshots(this->repository_->list().value()),
              this->snapshots({kept, alsoKept}));

    this->reopen();
    EXPECT_EQ(this->snapshots(this->repository_->list().value()),
              this->snapshots({kept, alsoKept}));
}

}  // namespace
}  // namespace mvk
