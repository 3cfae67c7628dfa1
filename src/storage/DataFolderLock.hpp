#pragma once

#include <filesystem>
#include <string_view>

namespace mvk {

/// Ownership of a data folder: while one object holds it, no other process
/// and no other object of this one gets it. Two owners of one folder would
/// both send its stored reports, and their first starts would race on the
/// same rows.
///
/// An open-file lock (`fcntl` F_OFD_SETLK) on the whole file
/// "morvanix.lock" in the folder, on a descriptor the object opens for
/// itself: another object of this process, with a descriptor of its own, is
/// refused like another process, and the game opening and closing the file
/// leaves the lock alone. A child the host forks without exec closes its
/// copy of the descriptor at once, so the folder is free once this process
/// lets it go or ends, however it ends, even while the child lives. The
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
};

}  // namespace mvk
