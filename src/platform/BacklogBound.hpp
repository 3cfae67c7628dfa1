#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "platform/PacedLine.hpp"
#include "platform/ProcessExit.hpp"

namespace mvk {

/// The bound on what the host's calls hold while they wait in the income
/// queue: bytes and a count. A game that calls faster than the library
/// stores, or calls while the queue is held back (in the background before
/// start-up, at exit), must not take the process's memory with it; past the
/// bound a call is refused with a line, at most one a second, that says how
/// many were refused since the one before. Every refusal is counted in such
/// a line within about a second, also when no call follows, and at the
/// latest at `destroySDK` and at exit.
///
/// An exit that leaves calls unfinished says how many calls' data was not
/// stored: only calls that carry data to store are among them, and each
/// until its block has finished. A call that stores nothing (a send, a
/// getter, a receipt check) is lost with the process without loss of data.
///
/// The life-cycle calls and barriers the host waits on are queued whatever
/// the backlog, uncharged; getters are queued whatever the backlog, charged.
class BacklogBound {
  public:
    // Blocks made on many host threads and freed on the queue's stay in
    // those threads' allocator arenas: a burst as large as the bound stays
    // resident in the host once it is stored. 8 MB still holds some 12,000
    // custom events of 20 parameters (half a second of storing); the count
    // is reached before the bytes by calls of up to 167 bytes.
    static constexpr std::size_t mostBytes = 8 * 1024 * 1024;
    static constexpr std::size_t mostCalls = 50'000;
    /// How long the exit's count waits for a block still running: a part of
    /// the exit's commit reserve.
    static constexpr std::chrono::milliseconds runningBlockWait{50};

    /// Whether a call's block stores something of the host's.
    enum class Carries { data, nothing };

    /// What one admitted call holds; given back when the call's block is
    /// destroyed, run or not.
    class Charge {
      public:
        Charge() noexcept = default;
        Charge(Charge&& other) noexcept
            : bound_(std::exchange(other.bound_, nullptr)),
              bytes_(other.bytes_),
              unfinished_(std::exchange(other.unfinished_, false)),
              running_(std::exchange(other.running_, false)) {}
        Charge& operator=(Charge&& other) noexcept {
            std::swap(bound_, other.bound_);
            std::swap(bytes_, other.bytes_);
            std::swap(unfinished_, other.unfinished_);
            std::swap(running_, other.running_);
            return *this;
        }
        Charge(const Charge&) = delete;
        Charge& operator=(const Charge&) = delete;
        ~Charge();

        explicit operator bool() const noexcept { return bound_ != nullptr; }

        /// The call's block begins, on the queue's thread.
        void started() noexcept;
        /// The call's block has run to its end: what it wrote is in the
        /// group the exit's commit step commits, and no longer lost with the
        /// process. Its bytes stay charged until the block is gone.
        void finished() noexcept;

      private:
        friend class BacklogBound;
        Charge(BacklogBound* bound, std::size_t bytes, bool unfinished) noexcept
            : bound_(bound), bytes_(bytes), unfinished_(unfinished) {}

        BacklogBound* bound_ = nullptr;
        std::size_t bytes_ = 0;
        /// A call with data to store whose block has not finished.
        bool unfinished_ = false;
        /// Such a call whose block has begun.
        bool running_ = false;
    };

    BacklogBound(const BacklogBound&) = delete;
    BacklogBound& operator=(const BacklogBound&) = delete;

    /// The one for the income queue; never destroyed, since a block still
    /// queued at exit gives its charge back whenever it goes.
    static BacklogBound& incomeQueue();

    /// A charge for a call of `bytes`, or an empty one when the call is refused.
    Charge admit(std::size_t bytes, Carries carries) noexcept;
    /// A charge for a call that is never refused (a getter, whose handler must
    /// be answered in order): it counts against the calls after it all the
    /// same. It stores nothing.
    Charge admitPastBound(std::size_t bytes) noexcept;

    /// Writes the refusal line now for the calls refused since the last one.
    void tellRefused() noexcept;

  private:
    /// Only `incomeQueue`: the paced line and the exit step refer to it.
    BacklogBound();

    void giveBack(std::size_t bytes) noexcept;
    void writeRefusedLine() noexcept;
    void writeNotStoredLine(ProcessExit::Deadline deadline) const noexcept;

    // Calls in the high bits, bytes in the low ones: admitting a call is one
    // atomic add on the host's thread.
    static constexpr int callShift = 40;
    static constexpr std::uint64_t oneCall = std::uint64_t{1} << callShift;
    static constexpr std::uint64_t byteMask = oneCall - 1;

    std::atomic<std::uint64_t> held_{0};
    /// Calls admitted with data to store whose blocks have not finished.
    std::atomic<std::uint64_t> unfinished_{0};
    /// Of those, the ones whose blocks have begun: at most one, on a serial
    /// queue.
    std::atomic<std::uint64_t> running_{0};
    std::atomic<std::uint64_t> refusedSinceLine_{0};
    PacedLine refusedLine_;
};

}  // namespace mvk
