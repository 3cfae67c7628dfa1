#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

namespace mvk {

/// Ownership of a data folder: while one object holds it, no other process
/// and no other object of this one gets it. Two owners of one folder would
/// both send its stored reports, and their first starts would race on the
/// same rows.
///
/// A POSIX record lock (`fcntl`) on the whole file "morvanix.lock" in the
/// folder. Such a lock belongs to the process that took it: a child the host
/// forks without exec does not get it, so the folder is free once this
/// process lets it go or ends, however it ends, even while the child lives.
/// Because the kernel lets the lock go when any descriptor of the file in the
/// process closes, and a second lock from the same process would succeed,
/// the objects of this process keep a list of the files they hold, and a
/// second one is refused from that list without ever opening the file. The
/// descriptor is closed on exec. The file itself stays: removing it could
/// let two owners lock two different files of the same name.
class DataFolderLock {
  public:
    static constexpr std::string_view fileName = "morvanix.lock";

    /// Takes the lock of `folder`, which must exist. Throws `std::system_error`
    /// (EWOULDBLOCK while another owner holds it, else the reason the lock file
    /// could not be opened or locked) after an error line naming the folder.
    explicit DataFolderLock(const std::filesystem::path& folder);
    ~DataFolderLock();

    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

  private:
    int descriptor_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace mvk
