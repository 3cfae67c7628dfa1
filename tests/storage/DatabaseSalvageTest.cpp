#include "storage/DatabaseSalvage.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "storage/Connection.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/SchemaMigration.hpp"
#include "storage/StorageTestSupport.hpp"

namespace mvk {
namespace {

class DatabaseSalvageTest : public test::StorageTest {};

// Every row a reader can still find by its id is copied, wherever the damage
// lies and however far apart the ids are. The copy used to read up to the
// first damage and back from the end down to the last, losing every sound
// row between two damaged places.
TEST_F(DatabaseSalvageTest, EveryRowAReaderCanFindByItsIdIsCopied) {
    constexpr int stored = 2000;
    constexpr std::size_t page = 4096;
    struct Case {
        const char* name;
        /// The id of the i-th row, as SQL.
        std::string id;
        /// Where three pages are overwritten, as fractions of the file.
        std::vector<double> damaged;
    };
    const std::vector<Case> cases = {
        {"one damaged place", "i", {0.5}},
        {"two damaged places", "i", {0.3, 0.6}},
        {"three damaged places, the last one at the end", "i", {0.2, 0.5, 0.99}},
        {"ids far apart", "i * 4611686018427387 - 9223372036854775807", {0.3, 0.6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder());
        { SQLiteProvider schema("app-key", nullptr); }
        test::RawDatabase(databasePath())
            .exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                  std::to_string(stored) + ") INSERT INTO events (id, code, userId, eventJson) " +
                  "SELECT " + c.id + ", 'ce', 1, printf('%.300c', 'x') FROM n");
        auto file = test::fileBytes(databasePath());
        const auto pages = file.size() / page;
        for (const double at : c.damaged) {
            const auto first = std::min(static_cast<std::size_t>(pages * at), pages - 3);
            file.replace(first * page, 3 * page, std::string(3 * page, '\xff'));
        }
        std::ofstream(databasePath(), std::ios::binary | std::ios::trunc) << file;
        std::vector<std::vector<std::string>> findable;
        {
            test::RawDatabase reader(databasePath());
            for (int i = 1; i <= stored; ++i) {
                const auto id = reader.single("SELECT " + c.id + " FROM (SELECT " +
                                              std::to_string(i) + " AS i)");
                const auto row = reader.rows("SELECT id FROM events WHERE id = " + id);
                findable.insert(findable.end(), row.begin(), row.end());
            }
        }

        const auto copyPath = folder() / "copy.db";
        DatabaseSalvage::Outcome outcome;
        {
            Connection damaged(databasePath().string());
            Connection fresh(copyPath.string());
            ASSERT_FALSE(SchemaMigration::apply(fresh));
            outcome = DatabaseSalvage::copy(damaged, fresh);
        }

        EXPECT_LT(findable.size(), static_cast<std::size_t>(stored)) << "the damage hit rows";
        EXPECT_EQ(test::RawDatabase(copyPath).rows("SELECT id FROM events ORDER BY id"), findable);
        EXPECT_EQ(outcome.damagedTables, std::vector<std::string>{"events"});
    }
}

}  // namespace
}  // namespace mvk
