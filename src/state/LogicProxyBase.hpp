#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "foundation/HeldBytes.hpp"
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
/// Every call is charged to the income queue's backlog bound for its block
/// and for what its captures hold (`HeldBytes`); one refused there is dropped
/// with the bound's line. A call that carries data to store counts as not
/// stored until its block has finished; one that stores nothing (a send, a
/// getter) is queued with `enqueueStoringNothing` or `enqueueGetter`.
///
/// A getter is never refused: its handler must be answered once, on the
/// queue, after the calls queued before it, and a refusal could only answer
/// it out of order or on the caller's thread, where a game holding a lock its
/// handler takes would hang. It is charged all the same, so getters count
/// against the calls after them; what it holds past the bound is its handler,
/// which the host gave it to keep until answered.
template <typename Logic>
class LogicProxyBase {
    struct NothingDropped {
        void operator()() const {}
    };
    struct Slot;

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
        std::size_t heldBytes() const noexcept { return heldBytesOf(owned_); }

      private:
        const char* literal_ = nullptr;
        std::string owned_;
    };

    /// Queues `call` (invoked with the logic) as one block, charged for
    /// `held`: what its captures hold, `heldBytes(...)` of them. When it runs
    /// without a logic it is dropped with the not-initialised line (a burst
    /// is counted: `NotInitializedLine`), and with
    /// the proxy gone silently. Past the bound it is refused.
    template <typename Call>
    void enqueue(MethodText method, HeldBytes held, Call call) {
        queueCharged(Kind::storing, std::move(method), held, std::move(call), NothingDropped{});
    }

    /// The same for a call that stores nothing of the host's, which an exit
    /// that leaves it queued does not count as lost.
    template <typename Call>
    void enqueueStoringNothing(MethodText method, HeldBytes held, Call call) {
        queueCharged(Kind::storingNothing, std::move(method), held, std::move(call),
                     NothingDropped{});
    }

    /// The same for a getter, never refused at the bound. `dropped` answers in
    /// place of `call` when the block runs without a logic or proxy, so a
    /// completion still gets its empty answer, on the queue.
    template <typename Call, typename Dropped>
    void enqueueGetter(MethodText method, HeldBytes held, Call call, Dropped dropped) {
        queueCharged(Kind::getter, std::move(method), held, std::move(call), std::move(dropped));
    }

  protected:
    ~LogicProxyBase() = default;

  private:
    /// A getter's shared answer and the host's handler in it, whose own
    /// captures cannot be seen from here.
    static constexpr std::size_t answerBytes = 128;

    enum class Kind { storing, storingNothing, getter };

    template <typename Call, typename Dropped>
    void queueCharged(Kind kind, MethodText method, HeldBytes held, Call call, Dropped dropped) {
        // The block, its captures and the allocator's own words for it.
        constexpr std::size_t blockBytes =
            sizeof(MethodText) + sizeof(Call) + sizeof(Dropped) + 8 * sizeof(void*);
        const bool getter = kind == Kind::getter;
        const std::size_t bytes =
            blockBytes + method.heldBytes() + held.bytes() + (getter ? answerBytes : 0);
        auto charge =
            getter ? bound_.admitPastBound(bytes)
                   : bound_.admit(bytes, kind == Kind::storing ? BacklogBound::Carries::data
                                                               : BacklogBound::Carries::nothing);
        if (!charge) {
            return;
        }
        queue_.addOperation([weak = lasting_ ? std::weak_ptr<Slot>() : std::weak_ptr<Slot>(slot_),
                             lasting = lasting_ ? slot_.get() : nullptr, method = std::move(method),
                             call = std::move(call), dropped = std::move(dropped),
                             charge = std::move(charge)]() mutable {
            charge.started();
            run(weak, lasting, method, call, dropped);
            // Only now, not when it begins: a block cut off at the exit's
            // bound may write after the exit's commit, or never.
            charge.finished();
        });
    }

    template <typename Call, typename Dropped>
    static void run(const std::weak_ptr<Slot>& weak, Slot* lasting, const MethodText& method,
                    Call& call, Dropped& dropped) {
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
    }

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
