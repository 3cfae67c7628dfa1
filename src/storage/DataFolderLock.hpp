#pragma once

#include <filesystem>
#include <string_view>

namespace mvk {

/// Ownership of a data folder: while one object holds it, no other process
/// and no other object of this one gets it. Two owners of one folder would
/// both send its stored reports, and their first starts would race on the
/// same rows.
///
/// An advisory `flock` on the file "morvanix.lock" in the folder. Such a lock
/// belongs to one open file description, so a second object in the same
/// process is refused as another process is; the descriptor is closed on
/// exec, and the kernel lets the lock go when the process ends, however it
/// ends. The file itself stays: removing it could let two owners lock two
/// different files of the same name.
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
