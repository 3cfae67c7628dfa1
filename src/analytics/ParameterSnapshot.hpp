#pragma once

#include <cstddef>
#include <memory>

#include "foundation/AnyCodable.hpp"
#include "mvk/MVKCustomEventParameters.hpp"

namespace mvk {

/// A custom event's parameters as the income queue carries them: every key
/// and value packed in one heap block.
///
/// The game's own parameters object stays with the game, which may change it
/// as soon as the call returns. One block instead of a copy of each text
/// keeps a waiting event to one allocation, and its size is known for the
/// queue's bound.
class ParameterSnapshot {
  public:
    ParameterSnapshot() noexcept = default;
    explicit ParameterSnapshot(const MVKCustomEventParameters& parameters);

    std::size_t size() const noexcept;
    /// The bytes of the packed block.
    std::size_t bytes() const noexcept { return block_ != nullptr ? bytes_ : 0; }

    /// The parameters in the order they were added, as a custom event's object.
    AnyCodable::Object object() const;

  private:
    std::unique_ptr<unsigned char[]> block_;
    std::size_t bytes_ = 0;
};

}  // namespace mvk
