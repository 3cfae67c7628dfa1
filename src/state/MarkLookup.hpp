#pragma once

namespace mvk {

/// Whether a mark (a tutorial step, a payment order id) is stored. An enum
/// rather than an optional bool, whose test in an `if` would take "not
/// marked" for "marked".
enum class MarkLookup {
    notMarked,
    marked,
    /// The marks could not be read: the caller must neither report nor mark
    /// again.
    unknown,
};

}  // namespace mvk
