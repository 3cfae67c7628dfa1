#include "storage/DataFolderLock.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/Logger.hpp"

namespace mvk {

namespace {

/// The lock files held by objects of this process. The process id is kept
/// with each: a child forked without exec inherits this list but not the
/// locks, and must not take its parent's entries for its own.
///
/// Made with the program, with no guarded first use: a child forked while
/// another thread was making a guarded static would wait for it for good.
/// Never destroyed: a core may let its folder go while the process exits.
class HeldFiles {
  public:
    constexpr HeldFiles() = default;

    void lock() { ::pthread_mutex_lock(&mutex_); }
    void unlock() { ::pthread_mutex_unlock(&mutex_); }

    bool contains(dev_t device, ino_t inode) const {
        return entries_ != nullptr &&
               std::any_of(entries_->begin(), entries_->end(), Mine{device, inode, ::getpid()});
    }
    void add(dev_t device, ino_t inode) {
        if (entries_ == nullptr) {
            entries_ = new std::vector<Entry>();
        }
        entries_->push_back({device, inode, ::getpid()});
    }
    void remove(dev_t device, ino_t inode) {
        if (entries_ != nullptr) {
            std::erase_if(*entries_, Mine{device, inode, ::getpid()});
        }
    }
    /// In a child forked without exec: it holds none of its parent's locks.
    void forget() {
        if (entries_ != nullptr) {
            entries_->clear();
        }
    }

  private:
    struct Entry {
        dev_t device;
        ino_t inode;
        pid_t process;
    };
    struct Mine {
        dev_t device;
        ino_t inode;
        pid_t process;
        bool operator()(const Entry& entry) const {
            return entry.device == device && entry.inode == inode && entry.process == process;
        }
    };

    pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
    std::vector<Entry>* entries_ = nullptr;
};

constinit HeldFiles heldFolderFiles;

// A fork while another thread holds the list's lock would leave it locked for
// good in the child: the fork waits for the list instead. Registered as the
// library loads, before a host thread can fork.
[[maybe_unused]] const int heldFolderFilesForkSafe =
    ::pthread_atfork([] { heldFolderFiles.lock(); }, [] { heldFolderFiles.unlock(); },
                     [] {
                         heldFolderFiles.forget();
                         heldFolderFiles.unlock();
                     });

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
    auto& held = heldFolderFiles;
    std::lock_guard guard(held);
    // Asked by name, not by opening it: closing a second descriptor of a file
    // this process holds would let the lock go.
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0 && held.contains(named.st_dev, named.st_ino)) {
        refuse(folder, EWOULDBLOCK);
    }
    do {
        descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (descriptor_ < 0 && errno == EINTR);
    if (descriptor_ < 0) {
        refuse(folder, errno);
    }
    struct stat opened {};
    if (::fstat(descriptor_, &opened) != 0) {
        const int error = errno;
        ::close(descriptor_);
        refuse(folder, error);
    }
    if (held.contains(opened.st_dev, opened.st_ino)) {
        // Renamed into place since it was asked for: the descriptor stays
        // open, since closing it would let this process's own lock go.
        refuse(folder, EWOULDBLOCK);
    }
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    int result = 0;
    do {
        result = ::fcntl(descriptor_, F_SETLK, &whole);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        // Either code means another process holds a lock on the file.
        const int error = errno == EACCES || errno == EAGAIN ? EWOULDBLOCK : errno;
        ::close(descriptor_);
        refuse(folder, error);
    }
    device_ = opened.st_dev;
    inode_ = opened.st_ino;
    held.add(device_, inode_);
}

DataFolderLock::~DataFolderLock() {
    auto& held = heldFolderFiles;
    // Closed before the entry goes, under the list's lock: another object of
    // this process that opened the file in between would lose its lock here.
    std::lock_guard guard(held);
    ::close(descriptor_);
    held.remove(device_, inode_);
}

}  // namespace mvk
