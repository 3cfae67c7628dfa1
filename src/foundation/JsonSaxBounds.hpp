#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// What every value builder fed by nlohmann's SAX parser shares: a bound on
/// the number of values and on nesting, so a hostile text cannot build a
/// value many times its own size nor one that recursive code would overflow
/// the stack on; binary values refused; the first failure kept as text.
/// A builder derives from it and calls `counted` for every value and `canOpen`
/// before it opens a container.
class JsonSaxBounds {
  public:
    bool binary(nlohmann::json::binary_t&);
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex);

    const std::string& error() const { return error_; }

  protected:
    /// Counts one more value; false (with the failure kept) past the bound.
    bool counted();
    /// False (with the failure kept) when `depth` containers are open already.
    bool canOpen(std::size_t depth);
    /// As `canOpen`, under a tighter bound than the readers' own.
    bool canOpen(std::size_t depth, std::size_t maxDepth);
    void fail(std::string error) { error_ = std::move(error); }

  private:
    std::size_t values_ = 0;
    std::string error_;
};

}  // namespace mvk
