#pragma once

#include <openssl/evp.h>
#include <sqlite3.h>

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "backend/BackendConfigUrl.hpp"
#include "core/Core.hpp"
#include "core/CoreEnvironment.hpp"
#include "core/PlatformFakes.hpp"
#include "foundation/Clock.hpp"
#include "foundation/CoppaControl.hpp"
#include "gateway/CannedAnswers.hpp"
#include "platform/Application.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/ManualRunLoop.hpp"
#include "platform/MemorySecureStore.hpp"
#include "platform/NotificationCenter.hpp"
#include "platform/PacedLine.hpp"
#include "platform/QueueManager.hpp"
#include "support/GatewayFixture.hpp"
#include "support/Patience.hpp"
#include "support/TempDir.hpp"

namespace mvk::test {

/// A core built into a test's own world: a temporary data directory, a local
/// gateway with good answers reached through the test proxy address, a fake
/// clock, a manual main loop, a notification centre and application of its
/// own, and fake device services. No core exists when it is made or after it
/// is gone.
class CoreFlowHarness {
  public:
    CoreFlowHarness() {
        Clock::install(clock);
        // The refusal lines' flushes wait for the test's clock on its loop.
        PacedLine::useScheduler(loop);
        ApplicationSupportDirectory::setOverride(dir.path());
        for (auto& [path, answer] : gateway::cannedAnswers()) {
            gateway().setAnswer(path, std::move(answer));
        }
        BackendConfigUrl::setTestProxyUrl(gateway().baseUrl());
        install(application);
        dropCore();
        CoppaControl::resetForTesting();
    }

    ~CoreFlowHarness() {
        // A test that ends in the background must not leave the queue paused.
        QueueManager::incomeQueue().resume();
        dropCore();
        QueueManager::configQueue().queue().drain(drainLimit());
        Core::setAnalyticsLogicMakerForTesting({});
        Core::setCardAndPushLogicMakersForTesting({}, {});
        CoppaControl::resetForTesting();
        CoreEnvironment::install(std::nullopt);
        BackendConfigUrl::setTestProxyUrl("");
        BackendConfigUrl::setTestCustomUrl("");
        ApplicationSupportDirectory::setOverride(std::nullopt);
        PacedLine::useScheduler(nullptr);
        Clock::install(nullptr);
    }

    CoreFlowHarness(const CoreFlowHarness&) = delete;
    CoreFlowHarness& operator=(const CoreFlowHarness&) = delete;

    /// Cores created from now on read the application state from `state` and
    /// send their requests on `session` (none: the platform's own, which
    /// reaches the local gateway).
    void install(std::shared_ptr<ApplicationStateProtocol> state,
                 std::shared_ptr<URLSessionProtocol> session = nullptr) {
        CoreEnvironment::install(CoreEnvironment{
            std::move(state), center, loop, loop,
            [store = secureStore, ids = identifiers] {
                return PlatformServices{std::make_shared<FakeApplicationInfo>(),
                                        std::make_shared<FakeDeviceInfo>(), ids, store};
            },
            std::move(session)});
    }

    gateway::Gateway& gateway() { return gatewayFixture.gateway(); }

    /// Cores started from now on get `logic` as their analytics logic.
    static void useAnalyticsLogic(std::shared_ptr<AnalyticsProtocol> logic) {
        Core::setAnalyticsLogicMakerForTesting(
            [logic = std::move(logic)](ServiceFactoryProtocol&,
                                       const std::shared_ptr<LifeCycleRepositoryProtocol>&) {
                return logic;
            });
    }

    static bool drainIncome() { return QueueManager::incomeQueue().queue().drain(drainLimit()); }

    /// Destroys the current core and waits until it is gone.
    static void dropCore() {
        Core::destroy();
        drainIncome();
    }

    std::filesystem::path databasePath() const { return dir.path() / "morvanix" / "morvanix.db"; }

    /// The texts of `column` in `table`, in row order; empty without a database.
    std::vector<std::string> columnTexts(const std::string& table,
                                         const std::string& column) const {
        std::vector<std::string> values;
        if (!std::filesystem::exists(databasePath())) {
            return values;
        }
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK) {
            // A library thread may still hold the write lock for a moment.
            sqlite3_busy_timeout(db, 5000);
            sqlite3_stmt* statement = nullptr;
            const auto sql = "SELECT \"" + column + "\" FROM \"" + table + "\" ORDER BY id";
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
                while (sqlite3_step(statement) == SQLITE_ROW) {
                    const auto* text = sqlite3_column_text(statement, 0);
                    values.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
                }
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return values;
    }

    /// Descriptors this process holds open on the database file.
    std::size_t openDatabaseDescriptors() const {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const auto target = std::filesystem::read_symlink(entry.path(), error);
            if (!error && target.string().find("morvanix.db") != std::string::npos) {
                ++count;
            }
        }
        return count;
    }

    static std::size_t threadCount() { return entries("/proc/self/task"); }

    static std::size_t descriptorCount() { return entries("/proc/self/fd"); }

    /// Resident memory in bytes.
    static std::size_t residentBytes() {
        std::ifstream statm("/proc/self/statm");
        std::size_t pages = 0;
        std::size_t resident = 0;
        statm >> pages >> resident;
        return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    }

    static std::size_t entries(const char* directory) {
        return static_cast<std::size_t>(std::distance(
            std::filesystem::directory_iterator(directory), std::filesystem::directory_iterator()));
    }

    static std::string fromBase64(const std::string& text) {
        std::string bytes(text.size(), '\0');
        const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                           reinterpret_cast<const unsigned char*>(text.data()),
                                           static_cast<int>(text.size()));
        if (length < 0) {
            return "<not base64>";
        }
        bytes.resize(static_cast<std::size_t>(length));
        for (auto end = text.rbegin(); end != text.rend() && *end == '='; ++end) {
            bytes.pop_back();
        }
        return bytes;
    }

    TempDir dir;
    GatewayFixture gatewayFixture;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<ManualRunLoop> loop = std::make_shared<ManualRunLoop>(clock, "test.main");
    std::shared_ptr<NotificationCenter> center = std::make_shared<NotificationCenter>();
    std::shared_ptr<Application> application = std::make_shared<Application>(center);
    std::shared_ptr<MemorySecureStore> secureStore = std::make_shared<MemorySecureStore>();
    /// Shared by every core the harness makes.
    std::shared_ptr<FakeIdentifierSource> identifiers = std::make_shared<FakeIdentifierSource>();
};

}  // namespace mvk::test
