#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "records/Config.hpp"
#include "storage/Cursor.hpp"
#include "storage/DatabaseProtocol.hpp"

namespace mvk {

/// The stored state of one application key: one row of "projects". The row
/// cache and the services share one object and change it in place.
class Project {
  public:
    /// A project not stored yet: tracking allowed, the default configuration.
    explicit Project(std::string applicationKey) : applicationKey_(std::move(applicationKey)) {}

    const std::string& applicationKey() const { return applicationKey_; }

    /// The row id; -1 until the row is inserted.
    std::int64_t idKey = -1;
    /// `idKey` of the project's active user.
    std::optional<std::int64_t> activeUserId;
    bool trackingAvailable = true;
    bool isReferralSent = false;
    std::optional<std::string> applicationBundle;
    std::optional<std::string> applicationVersion;
    std::optional<std::string> applicationBuildVersion;
    Config configuration = Config::defaulConfiguration();
    /// When `configuration` was saved, in milliseconds.
    std::optional<std::int64_t> savedTime;
    /// Version of the stored push categories.
    std::optional<std::int64_t> categoriesVersion;
    /// The previous SDK's data has been imported for this project.
    bool isMigrated = false;

    /// Columns in table order. Absent when the id or the application key has
    /// another type; a configuration that is NULL or does not decode reads as
    /// the default configuration.
    static std::optional<Project> fromCursor(const Cursor& cursor);

    /// Every column but the id, for an insert or an update.
    ContentValues contentValues() const;

  private:
    std::string applicationKey_;
};

}  // namespace mvk
