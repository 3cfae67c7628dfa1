#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/Identifiers.hpp"
#include "records/Versions.hpp"
#include "device/ApplicationData.hpp"
#include "device/DeviceData.hpp"
#include "state/DeviceIdentifiers.hpp"
#include "device/IdentifierData.hpp"
#include "state/Project.hpp"
#include "device/SdkData.hpp"
#include "state/User.hpp"

namespace mvk {

/// The measured identity: the active project of the application key, its
/// active user and the device identifiers, plus the records that gateway
/// requests are built from.
///
/// The project, user and identifier objects handed out are the very objects
/// the repositories cache: a service changes them in place and then writes
/// them through its repository. Used on the income queue only.
class StateManagerProtocol {
  public:
    virtual ~StateManagerProtocol() = default;

    /// Whether the host runs inside the engine's editor.
    virtual bool isEditorMode() const = 0;

    /// Never null: a state manager exists only with a stored project and user.
    virtual std::shared_ptr<Project> getActiveProject() const = 0;
    virtual std::shared_ptr<User> getActiveUser() const = 0;

    /// The active project's identifiers row, brought in line with the
    /// platform's current device UID first (a changed UID clears the backend
    /// identifiers). Never null: when the rows cannot be read, the row known
    /// from before stands.
    virtual std::shared_ptr<DeviceIdentifiers> getActiveDeviceIdentifiers() = 0;

    /// Every user of every project, in cache order; absent when the users
    /// could not be read.
    virtual std::optional<std::vector<std::shared_ptr<User>>> getAllUsers() = 0;
    /// The active project's users other than the active user, in cache
    /// order; absent when the users could not be read.
    virtual std::optional<std::vector<std::shared_ptr<User>>> getInactiveProjectUsers() = 0;

    /// Gives `user` the id `newId` (the old one becomes its previous id) and
    /// marks it named; when it is the active user, the backend identifiers
    /// are cleared.
    virtual void replaceUserId(const std::shared_ptr<User>& user, const std::string& newId) = 0;

    /// Makes the user with the host's id `userId` active (an empty id means
    /// the anonymous user). A change of active user clears the backend
    /// identifiers.
    virtual void activateUser(const std::string& userId) = 0;
    /// As above; when that makes another row active, `beforeSwitch` runs
    /// first, while the row left is still the active one.
    virtual void activateUser(const std::string& userId,
                              const std::function<void()>& beforeSwitch) = 0;

    /// The identity headers of a request made for `user`.
    virtual Identifiers getIdentifiers(const User& user) = 0;

    /// The versions body of the configuration requests; `remoteConfigVersion`
    /// is left for the caller.
    virtual Versions getVersion() = 0;

    virtual ApplicationData getAppData() = 0;
    virtual SdkData getSdkData() = 0;
    virtual IdentifierData getIdentifiersData() = 0;
    virtual DeviceData getDeviceData() = 0;

    /// Stores the three backend identifiers of the active project's device
    /// row, absent ones included.
    virtual void updateDeviceIdentifiers(std::optional<std::int64_t> morvanixId,
                                         std::optional<std::int64_t> crossPlatformMorvanixId,
                                         std::optional<std::int64_t> morvanixIdTimestamp) = 0;
};

}  // namespace mvk
