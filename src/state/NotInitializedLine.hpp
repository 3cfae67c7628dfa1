#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/PacedLine.hpp"

namespace mvk {

/// The error line of calls dropped because no logic is installed (before
/// start-up, after `destroySDK`). A lone call, and the first few of a burst,
/// get the line that names their method; the rest of the burst is counted
/// per method and told in one line a second, and at the latest when the
/// core stops or the process exits. Calls held back before start-up and
/// dropped by a `destroySDK` would otherwise write a line each, 100,000 of
/// them at the bound.
class NotInitializedLine {
  public:
    /// Lines that name their method before the rest is counted.
    static constexpr int namedEachSecond = 10;

    static NotInitializedLine& shared();

    static std::string message(std::string_view method);

    /// A call to `method` was dropped; writes or counts its line.
    void dropped(std::string_view method) noexcept;
    /// Tells the counted calls now; the calls after get their own lines again.
    void tellNow() noexcept;

  private:
    /// Only `shared`: the paced line and its exit step refer to it.
    NotInitializedLine();

    void writeCounted() noexcept;

    std::mutex mutex_;
    /// Per method, the calls dropped and not yet told, under `mutex_`; a
    /// method's calls hold no text of their own.
    std::map<std::string, std::uint64_t, std::less<>> counted_;
    /// The sum of `counted_`, read without the lock by the paced line.
    std::atomic<std::uint64_t> countedTotal_{0};
    /// When the second in which `named_` lines were written began; under `mutex_`.
    static constexpr std::int64_t never = INT64_MIN;
    std::int64_t secondAt_ = never;
    int named_ = 0;
    PacedLine line_;
};

}  // namespace mvk
