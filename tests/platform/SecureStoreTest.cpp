#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/FileSecureStore.hpp"
#include "platform/MemorySecureStore.hpp"
#include "support/LogCapture.hpp"
#include "support/TempDir.hpp"

namespace mvk {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

unsigned permissions(const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

// The rules every secure store keeps, run against both kinds.
class SecureStoreContractTest : public ::testing::TestWithParam<bool> {
  protected:
    SecureStoreContractTest() {
        if (GetParam()) {
            store = std::make_shared<FileSecureStore>(dir.path() / "app");
        } else {
            store = std::make_shared<MemorySecureStore>();
        }
    }
    test::TempDir dir;
    std::shared_ptr<SecureStoreProtocol> store;
};

TEST_P(SecureStoreContractTest, SetGetReplaceAndRemove) {
    EXPECT_EQ(store->get("game-k9m_v2_current_id"), std::nullopt);
    EXPECT_TRUE(store->set("game-k9m_v2_current_id", "A"));
    EXPECT_TRUE(store->set("other", ""));
    EXPECT_TRUE(store->set("game-k9m_v2_current_id", "B"));
    EXPECT_EQ(store->get("game-k9m_v2_current_id"), "B");
    EXPECT_EQ(store->get("other"), "");
    EXPECT_TRUE(store->remove("game-k9m_v2_current_id"));
    EXPECT_FALSE(store->remove("game-k9m_v2_current_id"));
    EXPECT_EQ(store->get("game-k9m_v2_current_id"), std::nullopt);
    EXPECT_EQ(store->get("other"), "");
}

TEST_P(SecureStoreContractTest, RefusesWhatItCouldNotReadBackAndKeepsTheOldValue) {
    test::LogCapture log(MVKLogLevel::no);
    ASSERT_TRUE(store->set("id", "kept"));
    const std::pair<std::string, std::string> refused[] = {
        {"id", std::string(4097, 'x')},
        {"id", "bad \xC3"},
        {"", "value"},
        {std::string(257, 'a'), "value"},
    };
    for (const auto& [account, value] : refused) {
        EXPECT_FALSE(store->set(account, value)) << account.size() << "/" << value.size();
    }
    EXPECT_TRUE(store->set("long", std::string(4096, 'x')));
    EXPECT_EQ(store->get("id"), "kept");
}

INSTANTIATE_TEST_SUITE_P(Kinds, SecureStoreContractTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

class FileSecureStoreTest : public ::testing::Test {
  protected:
    fs::path folder() const { return dir.path() / "app"; }
    fs::path file() const { return folder() / FileSecureStore::fileName; }

    test::TempDir dir;
    test::LogCapture log{MVKLogLevel::error};
};

TEST_F(FileSecureStoreTest, ValuesSurviveARestartInPrivateFiles) {
    ASSERT_TRUE(FileSecureStore(folder()).set("game-k9m_v2_customUdid", "6F1B"));
    FileSecureStore restarted(folder());
    EXPECT_EQ(restarted.get("game-k9m_v2_customUdid"), "6F1B");
    EXPECT_EQ(permissions(folder()), 0700u);
    EXPECT_EQ(permissions(file()), 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), fs::directory_iterator()), 1);
}

TEST_F(FileSecureStoreTest, EveryFolderItCreatesIsPrivate) {
    const auto nested = dir.path() / "data" / "share" / "app";
    ASSERT_TRUE(FileSecureStore(nested).set("game-k9m_v2_current_id", "6F1B"));
    EXPECT_EQ(permissions(dir.path() / "data"), 0700u);
    EXPECT_EQ(permissions(dir.path() / "data" / "share"), 0700u);
    EXPECT_EQ(permissions(nested), 0700u);
}

TEST_F(FileSecureStoreTest, LeftoverOfAnInterruptedWriteIsIgnored) {
    FileSecureStore store(folder());
    ASSERT_TRUE(store.set("id", "old"));
    const auto leftover = folder() / (std::string(FileSecureStore::fileName) + ".tmp-Ab12Cd");
    writeFile(leftover, R"({"id": "ne)");
    EXPECT_EQ(store.get("id"), "old");
    EXPECT_TRUE(store.set("id", "new"));
    EXPECT_EQ(FileSecureStore(folder()).get("id"), "new");
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(FileSecureStoreTest, DamagedFileReadsAsEmptyAndIsReplacedByTheNextWrite) {
    fs::create_directories(folder());
    // Nesting no store ever writes is read as damage, like any other bound
    // the library's parser keeps.
    const std::string tooDeep =
        R"({"id": "x", "deep": )" + std::string(200, '[') + std::string(200, ']') + "}";
    const std::string damaged[] = {"", R"({"id": "x")", R"(["id"])", std::string("\0\1junk", 6),
                                   tooDeep};
    for (const auto& damage : damaged) {
        writeFile(file(), damage);
        FileSecureStore store(folder());
        EXPECT_EQ(store.get("id"), std::nullopt);
        EXPECT_TRUE(store.set("id", "fresh"));
        EXPECT_EQ(store.get("id"), "fresh");
    }
    EXPECT_TRUE(log.containsFragment("is damaged"));
}

TEST_F(FileSecureStoreTest, FileIsCompactJsonWithSortedKeysAndReadsBackItsOwnText) {
    const struct {
        std::vector<std::pair<std::string, std::string>> values;
        std::string text;
    } cases[] = {
        {{{"zeta", "2"}, {"alpha", "1"}}, R"({"alpha":"1","zeta":"2"})"},
        {{{"id", "quote \" and \\ slash"}}, R"({"id":"quote \" and \\ slash"})"},
        {{{"name", "caf\xC3\xA9 \xF0\x9F\x8E\xAE"}}, "{\"name\":\"caf\xC3\xA9 \xF0\x9F\x8E\xAE\"}"},
    };
    for (const auto& c : cases) {
        fs::remove_all(folder());
        FileSecureStore store(folder());
        for (const auto& [account, value] : c.values) {
            ASSERT_TRUE(store.set(account, value));
        }
        EXPECT_EQ(readFile(file()), c.text);
        FileSecureStore restarted(folder());
        for (const auto& [account, value] : c.values) {
            EXPECT_EQ(restarted.get(account), value) << account;
        }
    }
}

TEST_F(FileSecureStoreTest, OverLongOrMistypedEntriesReadAsMissing) {
    fs::create_directories(folder());
    writeFile(file(), R"({"good": "yes", "number": 5, "null": null, "long": ")" +
                          std::string(5000, 'x') + "\"}");
    FileSecureStore store(folder());
    EXPECT_EQ(store.get("good"), "yes");
    for (const char* missing : {"number", "null", "long"}) {
        EXPECT_EQ(store.get(missing), std::nullopt) << missing;
    }
}

TEST_F(FileSecureStoreTest, OversizedFileIsNotRead) {
    fs::create_directories(folder());
    writeFile(file(),
              R"({"id": "x", "pad": ")" + std::string(FileSecureStore::maxFileBytes, ' ') + "\"}");
    EXPECT_EQ(FileSecureStore(folder()).get("id"), std::nullopt);
}

TEST_F(FileSecureStoreTest, LinkInPlaceOfTheFileIsNeitherFollowedNorReplaced) {
    fs::create_directories(folder());
    const auto target = dir.path() / "elsewhere.json";
    writeFile(target, R"({"id": "theirs"})");
    fs::create_symlink(target, file());
    FileSecureStore store(folder());
    EXPECT_EQ(store.get("id"), std::nullopt);
    EXPECT_FALSE(store.set("id", "ours"));
    EXPECT_EQ(readFile(target), R"({"id": "theirs"})");
}

TEST_F(FileSecureStoreTest, FailureLinesReachTheHostOnlyAfterTheStoreIsUnlocked) {
    // A host closure that waits for another thread's secure-store call would
    // hang if the line were written while the store is still locked.
    FileSecureStore broken{fs::path()};
    FileSecureStore working(folder());
    std::vector<bool> fromOtherThread;
    Logger::setEngineLoggerMessageClosure([&](MVKLogLevel, const std::string&) {
        std::thread([&] { fromOtherThread.push_back(working.set("id", "x")); }).join();
    });
    EXPECT_FALSE(broken.set("id", "x"));
    EXPECT_EQ(broken.get("id"), std::nullopt);
    EXPECT_FALSE(broken.remove("id"));
    Logger::setEngineLoggerMessageClosure(nullptr);

    EXPECT_EQ(fromOtherThread, (std::vector<bool>{true, true, true}));
}

TEST_F(FileSecureStoreTest, NoFolderMeansNothingIsKept) {
    FileSecureStore store{fs::path()};
    EXPECT_FALSE(store.set("id", "x"));
    EXPECT_EQ(store.get("id"), std::nullopt);
}

}  // namespace
}  // namespace mvk
