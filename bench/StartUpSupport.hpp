#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

#include "BenchSupport.hpp"
#include "events/EventRepository.hpp"
#include "gateway/CannedAnswers.hpp"
#include "gateway/Gateway.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "platform/QueueManager.hpp"
#include "platform/URLSessionSettings.hpp"
#include "state/User.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/SQLiteProvider.hpp"

// Start-ups of the whole library as a host makes them, against a local gateway.
namespace mvk::bench {

using WallClock = std::chrono::steady_clock;

/// A fresh application directory, the canned gateway and a silent log.
class BenchSetting {
  public:
    BenchSetting() {
        for (auto& [path, answer] : gateway::cannedAnswers()) {
            gateway_.setAnswer(path, std::move(answer));
        }
        URLSessionSettings::setCaPem(gateway_.caPem());
        MVKAnalytics::setTestProxyUrl(gateway_.baseUrl());
        MVKAnalytics::setLogLevel(MVKLogLevel::no);
    }
    ~BenchSetting() {
        gateway_.stop();
        URLSessionSettings::reset();
    }

  private:
    bench::BenchDirectory directory_;
    gateway::Gateway gateway_;
};

/// One start-up: `initialize` until the host's callback has run.
class StartUp {
  public:
    WallClock::duration run() {
        MVKAnalytics::setInitializationCompleteCallback([this] {
            std::lock_guard lock(mutex_);
            done_ = WallClock::now();
            finished_.notify_all();
        });
        const auto start = WallClock::now();
        MVKAnalytics::initialize("bench-app-key");
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return done_.has_value(); });
        const auto elapsed = *done_ - start;
        done_.reset();
        return elapsed;
    }

  private:
    std::mutex mutex_;
    std::condition_variable finished_;
    std::optional<WallClock::time_point> done_;
};

/// Destroys the running core and waits until none of its work is left on any
/// queue, so what is measured next does not share the machine with it.
inline void shutDown() {
    MVKEngineWrapper::destroySDK();
    for (auto* manager : {&QueueManager::incomeQueue(), &QueueManager::networkSerialQueue(),
                          &QueueManager::configQueue(), &QueueManager::anticheatQueue(),
                          &QueueManager::networkFlashQueue(),
                          &QueueManager::networkMessagingQueue(), &QueueManager::incomeQueue()}) {
        manager->queue().drain();
    }
}

/// Leaves exactly `count` typical events, and no reports, stored for the
/// database's one user, in one transaction, while no core is running: a start
/// with the real logic sends and deletes what it finds.
inline void storeBacklog(std::int64_t count) {
    SQLiteProvider database("bench-app-key");
    const auto users =
        query<User>(database, {.tableName = std::string(SQLiteContracts::UserEntry::tableName)});
    if (!users || users->size() != 1) {
        throw std::runtime_error("expected the one user of the first start-up");
    }
    const auto userId = users->front().idKey;
    EventRepository repository(std::shared_ptr<DatabaseProtocol>(&database, [](auto*) {}));
    database.transaction([&] {
        if (!repository.clear() || !database.clear(SQLiteContracts::ReportEntry::tableName)) {
            return false;
        }
        for (std::int64_t n = 0; n < count; ++n) {
            EventObject event("ce", -1, userId, bench::typicalEventJson);
            if (!repository.insert(event)) {
                return false;
            }
        }
        return true;
    });
}

}  // namespace mvk::bench
