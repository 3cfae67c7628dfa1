#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "mvk/Export.hpp"

namespace mvk {

/// The parameters of one custom event, in the order their keys were first
/// added. How many a custom event may carry is the project's configuration
/// (20 before the library has one); an `add` beyond that is refused with an
/// error line, even for a key already present.
///
/// The adders are named, not one overloaded `add`: a string literal would
/// pick the bool form.
class MVK_EXPORT MVKCustomEventParameters {
  public:
    using Value = std::variant<bool, std::int64_t, std::string, double>;
    using Parameters = std::vector<std::pair<std::string, Value>>;

    MVKCustomEventParameters() noexcept = default;
    /// Copies share the parameters until one of them changes (copy on write),
    /// so copying the object costs no copy of its texts.
    MVKCustomEventParameters(const MVKCustomEventParameters& other) noexcept;
    MVKCustomEventParameters(MVKCustomEventParameters&& other) noexcept;
    MVKCustomEventParameters& operator=(const MVKCustomEventParameters& other) noexcept;
    MVKCustomEventParameters& operator=(MVKCustomEventParameters&& other) noexcept;
    ~MVKCustomEventParameters();

    /// Each sets the key's value, replacing an earlier one in its place.
    /// Texts with invalid UTF-8 sequences get U+FFFD in their place.
    void addBool(const std::string& key, bool value) noexcept;
    void addInt(const std::string& key, std::int64_t value) noexcept;
    /// A fraction would be cut silently: `addDouble` keeps it.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    void addInt(const std::string& key, Fraction value) = delete;
    void addString(const std::string& key, const std::string& value) noexcept;
    void addDouble(const std::string& key, double value) noexcept;

    const Parameters& getAllParameters() const noexcept;

    /// "key: K value: V" per parameter, joined by line feeds.
    std::string description() const noexcept;

  private:
    void add(const std::string& key, Value value) noexcept;
    /// The parameters for a change: copied first while another object shares them.
    Parameters& writable();
    void release() noexcept;

    struct Shared;
    Shared* shared_ = nullptr;
};

}  // namespace mvk
