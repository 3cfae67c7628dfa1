#pragma once

#include <mutex>
#include <thread>

namespace mvk {

/// A scoped lock for a mutex that is only ever held for a few instructions
/// but is taken from many threads at once (the host's threads calling in).
/// A plain lock puts a thread to sleep at the first sign of contention, and
/// waking it costs tens of microseconds on a loaded machine; retrying the
/// lock briefly first keeps such a call in the sub-microsecond range. After
/// the retries it waits as a plain lock does, so a holder that was preempted
/// costs no spinning.
template <typename Mutex>
class BriefLock {
  public:
    explicit BriefLock(Mutex& mutex) : mutex_(mutex) { acquire(mutex_); }
    ~BriefLock() { mutex_.unlock(); }

    BriefLock(const BriefLock&) = delete;
    BriefLock& operator=(const BriefLock&) = delete;

    /// Locks `lockable` (a mutex, or a `std::unique_lock` that does not own
    /// its mutex yet) the same way.
    template <typename Lockable>
    static void acquire(Lockable& lockable) {
        for (int attempt = 0; attempt < spinAttempts; ++attempt) {
            if (lockable.try_lock()) {
                return;
            }
            if (attempt >= pauseAttempts) {
                std::this_thread::yield();
            } else {
#if defined(__x86_64__) || defined(__i386__)
                __builtin_ia32_pause();
#endif
            }
        }
        lockable.lock();
    }

  private:
    static constexpr int pauseAttempts = 64;
    static constexpr int spinAttempts = 80;
    Mutex& mutex_;
};

}  // namespace mvk
