#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "mvk/MVKVerifyResponse.hpp"

namespace mvk {

/// The host's completion of one verification, called at most once whichever
/// road gets there first; copies share that promise. The host's code runs in
/// a catch-all, outside any lock of ours.
class ReceiptCompletion {
  public:
    using Handler = std::function<void(const MVKVerifyResponse&)>;

    explicit ReceiptCompletion(Handler handler);

    /// False when the completion had already been called.
    bool complete(const MVKVerifyResponse& response) const noexcept;
    /// Completes with the internal-error status.
    bool fail() const noexcept;

  private:
    struct State {
        std::atomic<bool> done{false};
        Handler handler;
    };
    std::shared_ptr<State> state_;
};

}  // namespace mvk
