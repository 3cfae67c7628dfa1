#include "storage/DataFolderLock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "foundation/Logger.hpp"

namespace mvk {

namespace {

[[noreturn]] void refuse(const std::filesystem::path& folder, int error) {
    const auto reason = std::generic_category().message(error);
    if (error == EWOULDBLOCK) {
        Logger::writeLog(MVKLogLevel::error,
                         "[Database Module] The data folder " + folder.string() +
                             " is in use by another process or another start of the SDK; this "
                             "start fails");
    } else {
        Logger::writeLog(MVKLogLevel::error, "[Database Module] Couldn't lock the data folder " +
                                                 folder.string() + ": " + reason);
    }
    throw std::system_error(error, std::generic_category(),
                            "Couldn't lock the data folder " + folder.string());
}

}  // namespace

DataFolderLock::DataFolderLock(const std::filesystem::path& folder) {
    const auto path = folder / fileName;
    do {
        descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (descriptor_ < 0 && errno == EINTR);
    if (descriptor_ < 0) {
        refuse(folder, errno);
    }
    int result = 0;
    do {
        result = ::flock(descriptor_, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(descriptor_);
        refuse(folder, error);
    }
}

DataFolderLock::~DataFolderLock() {
    ::close(descriptor_);
}

}  // namespace mvk
