#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "mvk/Export.hpp"
#include "mvk/MVKGender.hpp"

namespace mvk {

/// The player's card: reserved properties (name, email, phone, photo, gender,
/// age), the "cheater" and "tester" marks, and custom properties of the game.
///
/// Every call may be made from any thread, returns at once and never throws;
/// the work runs later, in call order with the analytics calls, on the
/// library's own queue. Setters before start-up are logged and dropped.
///
/// Getters answer through their handler, once, on the library's queue (never
/// on the caller's thread), after every call the same thread made before the
/// getter has been handled, so a host may use a getter as a barrier. This
/// holds whatever the backlog: a getter is never refused at the bound on the
/// calls waiting to be stored (it counts against the other calls), so it
/// keeps its handler until the queue reaches it. A handler
/// must return promptly: it must not wait there for another answer of the
/// library, which would wait behind it for ever. Whatever a handler throws is
/// caught and logged.
class MVK_EXPORT MVKUserCard {
  public:
    using Value = std::variant<std::string, bool, std::int64_t, double>;
    using TextHandler = std::function<void(const std::string&)>;
    using GenderHandler = std::function<void(MVKGender)>;
    using IntHandler = std::function<void(std::int64_t)>;
    /// Nothing for a property that is absent, unset, or a refused key.
    using ValueHandler = std::function<void(const std::optional<Value>&)>;

    MVKUserCard() = delete;

    static void setName(const std::string& name) noexcept;
    static void setEmail(const std::string& email) noexcept;
    static void setPhone(const std::string& phone) noexcept;
    static void setPhoto(const std::string& photo) noexcept;
    /// Stored as its raw value.
    static void setGender(MVKGender gender) noexcept;
    static void setAge(std::int64_t age) noexcept;
    /// A fraction would be cut silently.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    static void setAge(Fraction) = delete;
    /// Sent as an event of its own, never stored on the card.
    static void setCheater(bool cheater) noexcept;
    static void setCheater(const char*) = delete;
    /// Sent as an event of its own, never stored on the card.
    static void setTester(bool tester) noexcept;
    static void setTester(const char*) = delete;

    /// Custom properties, one name per kind so that a literal cannot land in
    /// the wrong kind. A reserved name (in any letter case) must carry that
    /// property's kind; "gender" is set through `setGender` only.
    static void setString(const std::string& key, const std::string& value) noexcept;
    static void setBool(const std::string& key, bool value) noexcept;
    static void setBool(const std::string& key, const char* value) = delete;
    /// A number would silently become a flag.
    template <typename Number>
    requires std::is_arithmetic_v<Number> &&
        (!std::is_same_v<Number, bool>)static void setBool(const std::string& key,
                                                           Number value) = delete;
    static void setInt(const std::string& key, std::int64_t value) noexcept;
    /// A fraction would be cut silently: `setDouble` keeps it.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    static void setInt(const std::string& key, Fraction value) = delete;
    static void setDouble(const std::string& key, double value) noexcept;
    /// Adds to a number property; an absent one starts at the amount. The sum
    /// saturates; adding to a text or a flag is refused.
    static void incrementInt(const std::string& key, std::int64_t value) noexcept;
    /// A fraction would be cut silently: `incrementDouble` keeps it.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    static void incrementInt(const std::string& key, Fraction value) = delete;
    static void incrementDouble(const std::string& key, double value) noexcept;

    /// Removes properties; the removal is sent with the next card.
    static void unsetProperty(const std::string& property) noexcept;
    static void unset(const std::vector<std::string>& properties) noexcept;
    /// Empties the whole card.
    static void clearUser() noexcept;

    /// The text, or "" when absent or not a text.
    static void getName(TextHandler completionHandler) noexcept;
    static void getEmail(TextHandler completionHandler) noexcept;
    static void getPhone(TextHandler completionHandler) noexcept;
    static void getPhoto(TextHandler completionHandler) noexcept;
    /// `unknown` for anything but a stored 0, 1 or 2.
    static void getGender(GenderHandler completionHandler) noexcept;
    /// 0 when absent or not an integer.
    static void getAge(IntHandler completionHandler) noexcept;
    /// Any property; "cheater" and "tester" answer nothing.
    static void getValue(const std::string& key, ValueHandler completionHandler) noexcept;
};

}  // namespace mvk
