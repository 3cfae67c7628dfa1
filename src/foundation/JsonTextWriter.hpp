#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/AnyCodable.hpp"

namespace mvk {

/// Appends compact JSON text straight to a string, byte for byte as
/// `dumpJson` would write the same values, without building a tree first.
/// The caller keeps the structure well formed; the writer only places the
/// commas and colons.
class JsonTextWriter {
  public:
    /// `capacity` bytes are reserved up front: a record's text is written in
    /// many small appends.
    explicit JsonTextWriter(std::size_t capacity = 0) { text_.reserve(capacity); }

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view name);

    void string(std::string_view text);
    void integer(std::int64_t value);
    void unsignedInteger(std::uint64_t value);
    void boolean(bool value);
    void null();
    /// False, and nothing written, for a NaN or an infinity: those are an
    /// encoding failure the caller reports, never a silent null.
    [[nodiscard]] bool number(double value);
    /// A null, boolean, number or text; false, and nothing written, for a
    /// container or a non-finite number.
    [[nodiscard]] bool scalar(const AnyCodable& value);

    const std::string& text() const { return text_; }
    std::string take() { return std::move(text_); }

  private:
    void beforeValue();

    std::string text_;
    bool needsComma_ = false;
};

}  // namespace mvk
