#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "foundation/Logger.hpp"
#include "platform/BacklogBound.hpp"
#include "platform/GuardedCall.hpp"
#include "platform/QueueManager.hpp"
#include "platform/SerialQueue.hpp"
#include "state/NotInitializedLine.hpp"

namespace mvk {

/// The call frame shared by the proxies that stand between the public calls
/// and a logic object: the logic is installed once start-up has built it, and
/// every call runs as one block on the income queue, in call order.
///
/// The host may read the installed logic from its own thread while start-up
/// installs it on the income queue, hence the lock. Queued blocks hold the
/// slot weakly, so a proxy that is gone takes its logic with it and the
/// blocks still waiting do nothing; a proxy that lasts as long as the process
/// can say so and spare them that.
///
/// Every call is charged to the income queue's backlog bound; one refused
/// there is dropped at once, on the caller's thread, as a call that found no
/// logic, so a getter still gets its default answer, only sooner.
template <typename Logic>
class LogicProxyBase {
    struct NothingDropped {
        void operator()() const {}
    };

  public:
    explicit LogicProxyBase(SerialQueue& queue = QueueManager::incomeQueue().queue())
        : queue_(queue), slot_(std::make_shared<Slot>()) {}

    LogicProxyBase(const LogicProxyBase&) = delete;
    LogicProxyBase& operator=(const LogicProxyBase&) = delete;

    std::shared_ptr<Logic> logic() const {
        std::lock_guard lock(slot_->mutex);
        return slot_->logic;
    }

    void installLogic(std::shared_ptr<Logic> logic) {
        std::lock_guard lock(slot_->mutex);
        std::swap(slot_->logic, logic);
        // A replaced logic is released after the lock, in `logic`'s destructor.
    }

    /// For a proxy never destroyed, called before it queues a call: its
    /// blocks then reach the slot directly. A weak reference would have every
    /// host thread queueing a call write one shared count, and the queue's
    /// thread write it back.
    void outliveQueuedBlocks() { lasting_ = true; }

    static std::string notInitializedMessage(std::string_view method) {
        return NotInitializedLine::message(method);
    }

    /// The name of a queued call. A literal is kept as a pointer, so queueing a
    /// call builds no text on the host's thread; any other text is owned.
    class MethodText {
      public:
        template <std::size_t Size>
        MethodText(const char (&literal)[Size]) : literal_(literal) {}  // NOLINT: implicit
        template <typename Text>
        requires std::is_convertible_v<Text, std::string> &&
            (!std::is_array_v<std::remove_reference_t<Text>>)MethodText(Text&& text)
            : owned_(std::forward<Text>(text)) {}  // NOLINT: implicit

        std::string_view view() const {
            return literal_ != nullptr ? std::string_view(literal_) : std::string_view(owned_);
        }

      private:
        const char* literal_ = nullptr;
        std::string owned_;
    };

    /// Queues `call` (invoked with the logic) as one block. When it runs
    /// without a logic it is dropped with the not-initialised line (a burst
    /// is counted: `NotInitializedLine`); `dropped` then runs, so a completion
    /// still gets its empty answer. With the proxy gone only `dropped` runs,
    /// silently.
    template <typename Call, typename Dropped = NothingDropped>
    void enqueue(MethodText method, Call call, Dropped dropped = {}) {
        enqueueHolding(0, std::move(method), std::move(call), std::move(dropped));
    }

    /// The same for a call whose captures hold `heldBytes` on the heap
    /// besides the block itself (texts, a packed parameter block).
    template <typename Call, typename Dropped = NothingDropped>
    void enqueueHolding(std::size_t heldBytes, MethodText method, Call call, Dropped dropped = {}) {
        // The block, its captures and the allocator's own words for it.
        constexpr std::size_t blockBytes =
            sizeof(MethodText) + sizeof(Call) + sizeof(Dropped) + 8 * sizeof(void*);
        auto charge = bound_.admit(blockBytes + heldBytes);
        if (!charge) {
            callGuarded("A refused call", [&] { runDropped(dropped); });
            return;
        }
        queue_.addOperation([weak = lasting_ ? std::weak_ptr<Slot>() : std::weak_ptr<Slot>(slot_),
                             lasting = lasting_ ? slot_.get() : nullptr, method = std::move(method),
                             call = std::move(call), dropped = std::move(dropped),
                             charge = std::move(charge)]() mutable {
            const auto held = lasting != nullptr ? nullptr : weak.lock();
            Slot* const slot = lasting != nullptr ? lasting : held.get();
            if (slot == nullptr) {
                runDropped(dropped);
                return;
            }
            std::shared_ptr<Logic> logic;
            {
                std::lock_guard lock(slot->mutex);
                logic = slot->logic;
            }
            if (!logic) {
                NotInitializedLine::shared().dropped(method.view());
                runDropped(dropped);
                return;
            }
            call(*logic);
        });
    }

  protected:
    ~LogicProxyBase() = default;

  private:
    template <typename Dropped>
    static void runDropped(Dropped& dropped) {
        if constexpr (std::is_same_v<Dropped, std::function<void()>>) {
            if (dropped) {
                dropped();
            }
        } else {
            dropped();
        }
    }

    struct Slot {
        std::mutex mutex;
        std::shared_ptr<Logic> logic;
    };

    SerialQueue& queue_;
    BacklogBound& bound_ = BacklogBound::incomeQueue();
    const std::shared_ptr<Slot> slot_;
    bool lasting_ = false;
};

}  // namespace mvk
