#include "platform/MachineDeviceInfo.hpp"

#include <sys/utsname.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "foundation/Clock.hpp"
#include "foundation/Utf8.hpp"
#include "platform/LocaleName.hpp"
#include "platform/OsRelease.hpp"

namespace mvk {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

/// The locale messages are shown in, by the POSIX order of precedence.
LocaleName messagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        auto value = environment(name);
        if (!value.empty()) {
            return LocaleName::parse(value);
        }
    }
    return LocaleName::parse("C");
}

std::string firstLine(const std::vector<std::filesystem::path>& paths) {
    for (const auto& path : paths) {
        std::ifstream file(path);
        std::string line;
        if (file && std::getline(file, line)) {
            const auto first = line.find_first_not_of(" \t\r");
            const auto last = line.find_last_not_of(" \t\r");
            if (first != std::string::npos) {
                return Utf8::sanitized(line.substr(first, last - first + 1));
            }
        }
    }
    return {};
}

}  // namespace

MachineDeviceInfo::MachineDeviceInfo(const Sources& sources) {
    utsname system{};
    const bool hasUname = uname(&system) == 0;
    model_ = hasUname ? Utf8::sanitized(system.machine) : std::string();

    if (auto release = OsRelease::read(sources.osRelease)) {
        osName_ = release->value("NAME").value_or("Linux");
        osVersion_ = release->value("VERSION_ID").value_or(release->value("BUILD_ID").value_or(""));
    } else if (hasUname) {
        osName_ = Utf8::sanitized(system.sysname);
        osVersion_ = Utf8::sanitized(system.release);
    } else {
        osName_ = "Linux";
    }
    manufacturer_ = firstLine(sources.vendor);
}

const std::shared_ptr<MachineDeviceInfo>& MachineDeviceInfo::shared() {
    static auto* info =
        new std::shared_ptr<MachineDeviceInfo>(std::make_shared<MachineDeviceInfo>());
    return *info;
}

std::optional<std::string> MachineDeviceInfo::language() const {
    auto locale = messagesLocale();
    // LANGUAGE lists the preferred languages in order, but like gettext it is
    // only heeded when a real locale is set.
    if (locale.language()) {
        auto preferred = environment("LANGUAGE");
        auto first = LocaleName::parse(preferred.substr(0, preferred.find(':')));
        if (first.language()) {
            return first.language();
        }
    }
    return locale.language();
}

std::string MachineDeviceInfo::country() const {
    return messagesLocale().region();
}

std::string MachineDeviceInfo::osName() const {
    return osName_;
}

std::string MachineDeviceInfo::osVersion() const {
    return osVersion_;
}

std::string MachineDeviceInfo::manufacturer() const {
    return manufacturer_;
}

std::string MachineDeviceInfo::model() const {
    return model_;
}

std::int64_t MachineDeviceInfo::timeZoneOffset() const {
    const std::int64_t millis = Clock::nowMillis();
    std::time_t seconds = static_cast<std::time_t>(millis / 1000);
    tzset();  // picks up a TZ the host changed since the last call
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return 0;
    }
    return local.tm_gmtoff;
}

std::optional<ScreenSize> MachineDeviceInfo::screenSize() const {
    std::lock_guard lock(mutex_);
    return screenSize_;
}

std::optional<std::int64_t> MachineDeviceInfo::screenPpi() const {
    std::lock_guard lock(mutex_);
    return screenPpi_;
}

void MachineDeviceInfo::setScreenSize(std::int64_t width, std::int64_t height) {
    std::lock_guard lock(mutex_);
    if (width > 0 && height > 0) {
        screenSize_ = ScreenSize{width, height};
    } else {
        screenSize_.reset();
    }
}

void MachineDeviceInfo::setScreenPpi(std::int64_t ppi) {
    std::lock_guard lock(mutex_);
    if (ppi > 0) {
        screenPpi_ = ppi;
    } else {
        screenPpi_.reset();
    }
}

}  // namespace mvk
