#pragma once

#include <cstddef>

#include "foundation/AnyCodable.hpp"
#include "mvk/MVKCustomEventParameters.hpp"

namespace mvk {

/// A custom event's parameters as the income queue carries them: every key
/// and value packed in one block of queue job memory.
///
/// The game's own parameters object lives in its thread's heap and is let go
/// there as soon as the call returns. While the queue runs behind a game
/// making events quickly, only these blocks wait in it, and they come from
/// slabs mapped in advance rather than from fresh heap pages, which the C
/// library hands out a page at a time to each thread.
class ParameterSnapshot {
  public:
    ParameterSnapshot() noexcept = default;
    explicit ParameterSnapshot(const MVKCustomEventParameters& parameters);
    ParameterSnapshot(ParameterSnapshot&& other) noexcept;
    ParameterSnapshot& operator=(ParameterSnapshot&& other) noexcept;
    ParameterSnapshot(const ParameterSnapshot&) = delete;
    ParameterSnapshot& operator=(const ParameterSnapshot&) = delete;
    ~ParameterSnapshot();

    std::size_t size() const noexcept;

    /// The parameters in the order they were added, as a custom event's object.
    AnyCodable::Object object() const;

  private:
    unsigned char* block_ = nullptr;
};

}  // namespace mvk
