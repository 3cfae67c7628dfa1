#include "mvk/MVKCustomEventParameters.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>

#include "core/Core.hpp"
#include "foundation/Logger.hpp"
#include "foundation/Utf8.hpp"
#include "platform/GuardedCall.hpp"

namespace mvk {

namespace {

/// Nearly every text a game passes is ASCII, checked here a word at a time:
/// overlapping loads cover a short text in two.
bool isValidText(const std::string& text) {
    const auto load = [&](std::size_t at, auto word) {
        std::memcpy(&word, text.data() + at, sizeof word);
        return static_cast<std::uint64_t>(word);
    };
    const std::size_t size = text.size();
    std::uint64_t bits = 0;
    if (size >= 8) {
        for (std::size_t at = 0; at + 8 <= size; at += 8) {
            bits |= load(at, std::uint64_t{});
        }
        bits |= load(size - 8, std::uint64_t{});
    } else if (size >= 4) {
        bits = load(0, std::uint32_t{}) | load(size - 4, std::uint32_t{});
    } else {
        for (const char c : text) {
            bits |= static_cast<unsigned char>(c);
        }
    }
    return (bits & 0x8080808080808080ULL) == 0 || Utf8::isValid(text);
}

/// A key's length and last four bytes: the keys of one event mostly differ
/// in one of them ("score_1", "score_2"), so a new key is compared in full
/// only with keys of the same fingerprint.
std::uint32_t fingerprint(const std::string& key) {
    std::uint32_t tail = 0;
    for (std::size_t index = key.size() > 4 ? key.size() - 4 : 0; index < key.size(); ++index) {
        tail = tail << 8 | static_cast<unsigned char>(key[index]);
    }
    return tail ^ static_cast<std::uint32_t>(key.size()) * 0x9E3779B9U;
}

/// Room for a typical event's parameters at once: growing one by one would
/// move every earlier parameter several times.
constexpr std::size_t firstCapacity = 20;

std::string printed(const MVKCustomEventParameters::Value& value) {
    return std::visit(
        [](const auto& held) -> std::string {
            using Held = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<Held, bool>) {
                return held ? "true" : "false";
            } else if constexpr (std::is_same_v<Held, std::string>) {
                return held;
            } else {
                char buffer[64];
                const auto result = std::to_chars(buffer, buffer + sizeof buffer, held);
                return std::string(buffer, result.ptr);
            }
        },
        value);
}

struct Home;

/// What a thread hands back to the thread that allocated it.
struct Returned {
    Returned() = default;
    Returned(const Returned&) = delete;
    Returned& operator=(const Returned&) = delete;
    virtual ~Returned() = default;

    Home* home = nullptr;
    Returned* next = nullptr;
};

/// The snapshots a thread made and another thread let go. Freeing one there
/// would take the making thread's allocator lock against it, and a game
/// making events while the income queue lets the earlier ones go would wait
/// on that lock now and then; instead they come back here, and the making
/// thread frees them when it makes its next one. Leaked: another thread may
/// hand one back after the making thread ended, and a thread that starts later
/// takes over a home its thread left.
struct Home {
    /// Handed back items, newest first; `closed` while no thread owns it.
    std::atomic<Returned*> returned{nullptr};
    std::atomic<int> waiting{0};
    /// Every home ever made, linked once and never unlinked.
    Home* nextHome = nullptr;
    /// One item let go on the making thread itself, kept with its room for
    /// the next one; touched only by the thread owning the home.
    Returned* spare = nullptr;

    static inline Returned* const closed = reinterpret_cast<Returned*>(alignof(Returned));
    /// More than this are freed where they are let go.
    static constexpr int most = 64;

    /// False when the item is to be freed by the caller.
    bool takeBack(Returned* item) {
        if (waiting.fetch_add(1, std::memory_order_relaxed) >= most) {
            waiting.fetch_sub(1, std::memory_order_relaxed);
            return false;
        }
        auto* head = returned.load(std::memory_order_relaxed);
        do {
            if (head == closed) {
                waiting.fetch_sub(1, std::memory_order_relaxed);
                return false;
            }
            item->next = head;
        } while (!returned.compare_exchange_weak(head, item, std::memory_order_release,
                                                 std::memory_order_relaxed));
        return true;
    }

    /// On the making thread: what was handed back so far, and no more with
    /// `closing`.
    Returned* takeAll(bool closing) {
        auto* items = returned.exchange(closing ? closed : nullptr, std::memory_order_acquire);
        int count = 0;
        for (auto* item = items; item != nullptr; item = item->next) {
            ++count;
        }
        waiting.fetch_sub(count, std::memory_order_relaxed);
        return items;
    }
};

/// Frees `items` on this thread.
void freeAll(Returned* items) noexcept {
    while (items != nullptr) {
        delete std::exchange(items, items->next);
    }
}

/// This thread's home while the thread runs.
thread_local Home* currentHome = nullptr;

/// A home no thread owns, or a new one.
Home* ownHome() {
    static std::atomic<Home*> homes{nullptr};
    for (auto* home = homes.load(std::memory_order_acquire); home != nullptr;
         home = home->nextHome) {
        auto* expected = Home::closed;
        if (home->returned.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel)) {
            return home;
        }
    }
    auto* home = new Home();
    home->nextHome = homes.load(std::memory_order_relaxed);
    while (!homes.compare_exchange_weak(home->nextHome, home, std::memory_order_release,
                                        std::memory_order_relaxed)) {
    }
    return home;
}

struct ThisThread {
    ThisThread() : home(ownHome()) { currentHome = home; }
    ~ThisThread() {
        currentHome = nullptr;
        delete std::exchange(home->spare, nullptr);
        freeAll(home->takeAll(true));
    }
    Home* const home;
};

Home& thisThreadHome() {
    thread_local ThisThread thread;
    return *thread.home;
}

/// Keeps an unshared snapshot for its thread's next one, frees it here, or
/// hands it back to its thread.
void letGo(Returned* item) noexcept {
    if (item->home != nullptr && item->home == currentHome) {
        if (currentHome->spare == nullptr) {
            currentHome->spare = item;
        } else {
            delete item;
        }
    } else if (item->home == nullptr || !item->home->takeBack(item)) {
        delete item;
    }
}

}  // namespace

// A reference count of our own rather than a shared_ptr: deciding that a copy
// is unshared needs an acquire load, so that the reads of a snapshot released
// on the income queue happen before the host's next change.
struct MVKCustomEventParameters::Shared : Returned {
    Shared() { parameters.reserve(firstCapacity); }
    /// An own copy of `other`'s parameters, for a change while it is shared.
    explicit Shared(const Shared& other)
        : Returned(), parameters(other.parameters), fingerprints(other.fingerprints) {}

    /// A snapshot of this thread's, with no parameters, for one holder: the
    /// one this thread kept, or else what came back from other threads, freed
    /// here on this thread but for one kept with its room.
    static Shared* make() {
        auto& home = thisThreadHome();
        Shared* shared = static_cast<Shared*>(std::exchange(home.spare, nullptr));
        if (shared == nullptr) {
            if (auto* items = home.takeAll(false)) {
                shared = static_cast<Shared*>(std::exchange(items, items->next));
                freeAll(items);
            }
        }
        if (shared != nullptr) {
            shared->parameters.clear();
            shared->holders.store(1, std::memory_order_relaxed);
        } else {
            shared = new Shared();
        }
        shared->home = &home;
        shared->next = nullptr;
        return shared;
    }

    /// Sets the parameter `key` of `owner` with `assign`, which builds the
    /// value in place; refused with the limit line once the parameters are
    /// as many as the configuration allows.
    template <typename Assign>
    static void set(MVKCustomEventParameters& owner, const std::string& key, Assign&& assign) {
        // Lock-free: a game adds every parameter of every event through here.
        const auto limit = Core::analyticsProxy().getCustomEventParamsCount();
        const auto count = owner.shared_ != nullptr ? owner.shared_->parameters.size() : 0;
        if (std::cmp_greater_equal(count, std::max<std::int64_t>(limit, 0))) {
            Logger::writeLog(MVKLogLevel::error, "[CustomEventParameters] Limit of [" +
                                                     std::to_string(limit) +
                                                     "] is reached when adding a new parameter");
            return;
        }
        owner.writable();
        // A valid key (nearly every one) is compared as it is and copied once.
        if (isValidText(key)) {
            owner.shared_->put(key, assign);
        } else {
            owner.shared_->put(Utf8::sanitized(key), assign);
        }
    }

    /// Keys past the fingerprinted ones (a configuration may allow hundreds)
    /// are compared one by one.
    template <typename Key, typename Assign>
    void put(Key&& key, Assign& assign) {
        const auto print = fingerprint(key);
        const auto printed = std::min(parameters.size(), fingerprints.size());
        for (std::size_t index = 0; index < parameters.size(); ++index) {
            if ((index >= printed || fingerprints[index] == print) &&
                parameters[index].first == key) {
                assign(parameters[index].second);
                return;
            }
        }
        if (parameters.size() < fingerprints.size()) {
            fingerprints[parameters.size()] = print;
        }
        auto& added = parameters.emplace_back(std::piecewise_construct,
                                              std::forward_as_tuple(std::forward<Key>(key)),
                                              std::forward_as_tuple());
        try {
            assign(added.second);
        } catch (...) {
            parameters.pop_back();
            throw;
        }
    }

    std::atomic<std::size_t> holders{1};
    Parameters parameters;
    std::array<std::uint32_t, 32> fingerprints{};
};

MVKCustomEventParameters::MVKCustomEventParameters(const MVKCustomEventParameters& other) noexcept
    : shared_(other.shared_) {
    if (shared_ != nullptr) {
        shared_->holders.fetch_add(1, std::memory_order_relaxed);
    }
}

MVKCustomEventParameters::MVKCustomEventParameters(MVKCustomEventParameters&& other) noexcept
    : shared_(std::exchange(other.shared_, nullptr)) {}

MVKCustomEventParameters& MVKCustomEventParameters::operator=(
    const MVKCustomEventParameters& other) noexcept {
    if (this != &other) {
        MVKCustomEventParameters copy(other);
        std::swap(shared_, copy.shared_);
    }
    return *this;
}

MVKCustomEventParameters& MVKCustomEventParameters::operator=(
    MVKCustomEventParameters&& other) noexcept {
    if (this != &other) {
        release();
        shared_ = std::exchange(other.shared_, nullptr);
    }
    return *this;
}

MVKCustomEventParameters::~MVKCustomEventParameters() {
    release();
}

void MVKCustomEventParameters::release() noexcept {
    if (shared_ != nullptr && shared_->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        letGo(shared_);
    }
    shared_ = nullptr;
}

const MVKCustomEventParameters::Parameters& MVKCustomEventParameters::getAllParameters()
    const noexcept {
    static const Parameters* const none = new Parameters();
    return shared_ != nullptr ? shared_->parameters : *none;
}

MVKCustomEventParameters::Parameters& MVKCustomEventParameters::writable() {
    if (shared_ == nullptr) {
        shared_ = Shared::make();
    } else if (shared_->holders.load(std::memory_order_acquire) != 1) {
        auto* own = new Shared(*shared_);
        own->home = &thisThreadHome();
        release();
        shared_ = own;
    }
    return shared_->parameters;
}

void MVKCustomEventParameters::addBool(const std::string& key, bool value) noexcept {
    add(key, value);
}

void MVKCustomEventParameters::addInt(const std::string& key, std::int64_t value) noexcept {
    add(key, value);
}

void MVKCustomEventParameters::addString(const std::string& key,
                                         const std::string& value) noexcept {
    callGuarded("addString", [&] {
        // Copied once, straight into its place.
        Shared::set(*this, key, [&](Value& held) {
            if (isValidText(value)) {
                held.emplace<std::string>(value);
            } else {
                held.emplace<std::string>(Utf8::sanitized(value));
            }
        });
    });
}

void MVKCustomEventParameters::addDouble(const std::string& key, double value) noexcept {
    add(key, value);
}

void MVKCustomEventParameters::add(const std::string& key, Value value) noexcept {
    callGuarded("CustomEventParameters add",
                [&] { Shared::set(*this, key, [&](Value& held) { held = std::move(value); }); });
}

std::string MVKCustomEventParameters::description() const noexcept {
    try {
        std::string text;
        for (const auto& [key, value] : getAllParameters()) {
            if (!text.empty()) {
                text += "\n";
            }
            text += "key: " + key + " value: " + printed(value);
        }
        return text;
    } catch (...) {
        return {};
    }
}

}  // namespace mvk
