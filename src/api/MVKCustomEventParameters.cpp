#include "mvk/MVKCustomEventParameters.hpp"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <utility>

#include "core/Core.hpp"
#include "foundation/Logger.hpp"
#include "platform/GuardedCall.hpp"
#include "platform/Utf8.hpp"

namespace mvk {

namespace {

/// Nearly every text a game passes is valid UTF-8, most of it ASCII: checking
/// first copies it at once instead of code point by code point.
std::string cleaned(const std::string& text) {
    return Utf8::isValid(text) ? text : Utf8::sanitized(text);
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
// is unshared needs an acquire load, so that the reads of a snapshot released
// on the income queue happen before the host's next change.
struct MVKCustomEventParameters::Shared {
    std::atomic<std::size_t> holders{1};
    Parameters parameters;
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
        shared_->parameters.reserve(firstCapacity);
    } else if (shared_->holders.load(std::memory_order_acquire) != 1) {
        auto* own = new Shared{.parameters = shared_->parameters};
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
    callGuarded("addString", [&] { add(key, cleaned(value)); });
}

void MVKCustomEventParameters::addDouble(const std::string& key, double value) noexcept {
    add(key, value);
}

void MVKCustomEventParameters::add(const std::string& key, Value value) noexcept {
    callGuarded("CustomEventParameters add", [&] {
        // Lock-free: a game adds every parameter of every event through here.
        const auto limit = Core::analyticsProxy().getCustomEventParamsCount();
        if (std::cmp_greater_equal(getAllParameters().size(), std::max<std::int64_t>(limit, 0))) {
            Logger::writeLog(MVKLogLevel::error, "[CustomEventParameters] Limit of [" +
                                                     std::to_string(limit) +
                                                     "] is reached when adding a new parameter");
            return;
        }
        auto cleanKey = cleaned(key);
        auto& parameters = writable();
        auto present = std::find_if(parameters.begin(), parameters.end(),
                                    [&](const auto& entry) { return entry.first == cleanKey; });
        if (present != parameters.end()) {
            present->second = std::move(value);
        } else {
            parameters.emplace_back(std::move(cleanKey), std::move(value));
        }
    });
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
