#include "storage/DataFolderLock.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/Logger.hpp"

namespace mvk {

namespace {

/// The descriptors of the lock files held by objects of this process. A
/// child forked without exec inherits them, and with them the locks, which
/// belong to the open file and not to the process: the child closes them as
/// it starts, and the fork returns to the parent once it has, so that the
/// folder is free whenever this process lets it go or ends, even while the
/// child lives.
///
/// Made with the program, with no guarded first use: a child forked while
/// another thread was making a guarded static would wait for it for good.
/// Never destroyed: a core may let its folder go while the process exits.
class HeldDescriptors {
  public:
    constexpr HeldDescriptors() = default;

    void lock() { ::pthread_mutex_lock(&mutex_); }
    void unlock() { ::pthread_mutex_unlock(&mutex_); }

    void add(int descriptor) {
        if (entries_ == nullptr) {
            entries_ = new std::vector<Entry>();
        }
        entries_->push_back({descriptor, ::getpid()});
    }
    /// Whether `descriptor` was this process's own, from an object made in
    /// it: an object a child inherited must not close the number, which the
    /// child may have opened again for something else.
    bool remove(int descriptor) {
        return entries_ != nullptr && std::erase_if(*entries_, [&](const Entry& entry) {
                                          return entry.descriptor == descriptor &&
                                                 entry.process == ::getpid();
                                      }) != 0;
    }

    // A fork while another thread holds the list's lock would leave it locked
    // for good in the child, and a fork between a lock's open and its entry
    // would leave the lock with the child: the fork waits for the list.
    void beforeFork() {
        lock();
        childDone_[0] = childDone_[1] = -1;
        if (entries_ != nullptr && !entries_->empty() && ::pipe2(childDone_, O_CLOEXEC) != 0) {
            childDone_[0] = childDone_[1] = -1;
        }
    }
    /// Until the child has closed its copies: a start right after the fork,
    /// on a folder this process lets go at once, would find it still held.
    void afterForkInParent() {
        if (childDone_[1] >= 0) {
            ::close(childDone_[1]);
            pollfd done{.fd = childDone_[0], .events = POLLIN, .revents = 0};
            const auto end = std::chrono::steady_clock::now() + childBound;
            for (auto left = childBound; left.count() > 0;
                 left = std::chrono::duration_cast<std::chrono::milliseconds>(
                     end - std::chrono::steady_clock::now())) {
                if (::poll(&done, 1, static_cast<int>(left.count())) >= 0 || errno != EINTR) {
                    break;
                }
            }
            ::close(childDone_[0]);
        }
        unlock();
    }
    void afterForkInChild() {
        if (entries_ != nullptr) {
            for (const auto& entry : *entries_) {
                ::close(entry.descriptor);
            }
            entries_->clear();
        }
        if (childDone_[1] >= 0) {
            ::close(childDone_[0]);
            ::close(childDone_[1]);
        }
        unlock();
    }

  private:
    struct Entry {
        int descriptor;
        pid_t process;
    };
    /// A child stopped before it could run is not waited for past this.
    static constexpr std::chrono::milliseconds childBound{1000};

    pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
    std::vector<Entry>* entries_ = nullptr;
    int childDone_[2] = {-1, -1};
};

constinit HeldDescriptors heldFolderDescriptors;

// Registered as the library loads, before a host thread can fork.
[[maybe_unused]] const int heldFolderDescriptorsForkSafe = ::pthread_atfork(
    [] { heldFolderDescriptors.beforeFork(); }, [] { heldFolderDescriptors.afterForkInParent(); },
    [] { heldFolderDescriptors.afterForkInChild(); });

/// The lock of the file at `path` on a descriptor of its own, or the error.
/// Under the list's lock, since a fork must see the descriptor listed as soon
/// as it holds the lock. Writes no line: a log closure that forks would wait
/// for the list's lock it is called under.
int takeLock(const std::filesystem::path& path, int& descriptor) {
    std::lock_guard guard(heldFolderDescriptors);
    do {
        descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        return errno;
    }
    // An open-file lock, not a process's record lock: the kernel would let a
    // record lock go when any descriptor of the file in this process closes
    // (the game's backup of its data folder), and would grant this process a
    // second one on the same file.
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    int result = 0;
    do {
        result = ::fcntl(descriptor, F_OFD_SETLK, &whole);
    } while (result != 0 && errno == EINTR);
    int error = 0;
    if (result != 0) {
        // Either code means another open file holds a lock on it.
        error = errno == EACCES || errno == EAGAIN ? EWOULDBLOCK : errno;
    } else {
        try {
            heldFolderDescriptors.add(descriptor);
        } catch (const std::bad_alloc&) {
            error = ENOMEM;
        }
    }
    if (error != 0) {
        ::close(descriptor);
        descriptor = -1;
    }
    return error;
}

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
    if (const int error = takeLock(folder / fileName, descriptor_); error != 0) {
        refuse(folder, error);
    }
}

DataFolderLock::~DataFolderLock() {
    // Under the list's lock: a child forked in between would close whatever
    // this process had opened under the same number by then.
    std::lock_guard guard(heldFolderDescriptors);
    if (heldFolderDescriptors.remove(descriptor_)) {
        ::close(descriptor_);
    }
}

}  // namespace mvk
