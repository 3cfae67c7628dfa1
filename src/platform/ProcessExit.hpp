#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace mvk {

/// The process is on its way out (`exit()` or a return from `main` has begun
/// running the atexit handlers). Library threads check this flag to start no
/// more queued blocks or transfers, and give up the transfers under way at
/// `cutOffTime`, so that nothing of ours is still running while the C runtime
/// and OpenSSL tear themselves down.
///
/// The exit handler, on whichever thread exits, takes at most
/// `longestExitWait` in all:
///  1. it raises the flag and runs the `Stage::drain` steps: a queue that
///     stores the host's calls runs what is queued (no transfer starts now);
///  2. it lets no more blocks start and waits for the work counted by
///     `InFlight` guards on other threads to end (guards held by the exiting
///     thread itself are not waited for: the host may call `exit()` from a
///     callback we run);
///  3. it runs the `Stage::commit` steps, which commit what finished work
///     left open, even while a block runs past the bound, and return at the
///     bound even while such a commit goes on (the process's end cuts it off).
class ProcessExit {
  public:
    ProcessExit() = delete;

    static constexpr std::chrono::milliseconds longestExitWait{2000};
    /// The part of `longestExitWait` kept for the commit steps.
    static constexpr std::chrono::milliseconds commitReserve{200};
    /// The part of the wait for work (stage 2) that work given up at its end
    /// keeps to wind down: a transfer cut then still closes its connection
    /// and hands its failure back before the handler stops waiting for it.
    static constexpr std::chrono::milliseconds windDownReserve{100};

    using Deadline = std::chrono::steady_clock::time_point;
    using Step = std::function<void(Deadline)>;
    enum class Stage { drain, commit };

    /// Counts one piece of library work (a queue block, a transfer) for the
    /// exit handler to wait for while the guard lives. Cheap; may nest.
    class InFlight {
      public:
        /// When the work may begin: at any time, only before the exit, or
        /// also while the exit handler lets queued blocks run (stage 1).
        enum class Start { always, beforeExit, whileDraining };

        explicit InFlight(Start start = Start::always);
        ~InFlight();
        InFlight(const InFlight&) = delete;
        InFlight& operator=(const InFlight&) = delete;

        /// False when the work must not begin; the guard then counts nothing.
        bool admitted() const { return admitted_; }

      private:
        bool admitted_ = false;
    };

    /// Registers the atexit handler; idempotent. Called when the first
    /// library thread or transfer comes to life.
    static void install();

    /// True once the process has begun to exit.
    static bool isExiting() noexcept;
    /// When the exit handler ends, whatever is still under way; the far
    /// future before the exit begins.
    static Deadline deadline() noexcept;
    /// When work still under way at the exit (a request waiting for its
    /// answer) is given up: until then it may end and settle what it did;
    /// `windDownReserve` before the handler stops waiting for work. The far
    /// future before the exit begins.
    static Deadline cutOffTime() noexcept;

    /// Whether a block of a queue may start now; see `InFlight::Start`.
    static bool mayStart(InFlight::Start start);

    /// Adds a step the exit handler runs on the exiting thread with the
    /// deadline of its stage; the step must end by then. Answers an id for
    /// `removeStep`. A step may outlive what it serves (it is copied before
    /// it runs): it should hold that by a weak reference.
    static std::uint64_t addStep(Stage stage, Step step);
    static void removeStep(std::uint64_t id);

    /// Raises the flag as the atexit handler would, with the handler's end at
    /// `deadline`, without draining or waiting (tests only).
    static void markExitingForTesting(Deadline deadline = Deadline::max()) noexcept;
    static void resetForTesting() noexcept;
};

}  // namespace mvk
