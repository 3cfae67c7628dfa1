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

}  // namespace

// A reference count of our own rather than a shared_ptr: deciding that a copy
// is unshared needs an acquire load, so that the reads of a copy let go on
// another thread happen before this thread's next change.
struct MVKCustomEventParameters::Shared {
    Shared() { parameters.reserve(firstCapacity); }
    /// An own copy of `other`'s parameters, for a change while it is shared.
    Shared(const Shared& other) : parameters(other.parameters), fingerprints(other.fingerprints) {}
    Shared& operator=(const Shared&) = delete;

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
        delete shared_;
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
        shared_ = new Shared();
    } else if (shared_->holders.load(std::memory_order_acquire) != 1) {
        auto* own = new Shared(*shared_);
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
