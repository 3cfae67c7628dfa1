#include "analytics/ParameterSnapshot.hpp"

#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace mvk {

namespace {

// The block: the number of parameters, then each parameter as its kind, its
// key (length, bytes) and its value (a text as length, bytes). Numbers are
// copied byte for byte, unaligned.
using Length = std::uint32_t;

enum class Kind : unsigned char { boolean, integer, text, real };

std::size_t textSize(const std::string& text) {
    if (text.size() > std::numeric_limits<Length>::max()) {
        throw std::length_error("parameter text too long");
    }
    return sizeof(Length) + text.size();
}

/// Copies `size` bytes; a short text, nearly every key and value, in two
/// overlapping loads and stores instead of a call.
void copyBytes(unsigned char* to, const char* from, std::size_t size) {
    const auto both = [&](auto word) {
        std::memcpy(&word, from, sizeof word);
        std::memcpy(to, &word, sizeof word);
        std::memcpy(&word, from + size - sizeof word, sizeof word);
        std::memcpy(to + size - sizeof word, &word, sizeof word);
    };
    if (size > 16) {
        std::memcpy(to, from, size);
    } else if (size >= 8) {
        both(std::uint64_t{});
    } else if (size >= 4) {
        both(std::uint32_t{});
    } else {
        for (std::size_t at = 0; at < size; ++at) {
            to[at] = static_cast<unsigned char>(from[at]);
        }
    }
}

// The block's position goes from call to call as a value: kept in a member,
// every byte stored would make the compiler read it again.
template <typename Plain>
unsigned char* put(unsigned char* at, const Plain& plain) {
    std::memcpy(at, &plain, sizeof plain);
    return at + sizeof plain;
}

unsigned char* putText(unsigned char* at, const std::string& text) {
    at = put(at, static_cast<Length>(text.size()));
    copyBytes(at, text.data(), text.size());
    return at + text.size();
}

struct Reader {
    const unsigned char* at;

    template <typename Plain>
    Plain take() {
        Plain plain;
        std::memcpy(&plain, at, sizeof plain);
        at += sizeof plain;
        return plain;
    }
    AnyCodable takeValue(Kind kind) {
        switch (kind) {
            case Kind::boolean:
                return AnyCodable(take<bool>());
            case Kind::integer:
                return AnyCodable(take<std::int64_t>());
            case Kind::text:
                return AnyCodable(takeText());
            case Kind::real:
                break;
        }
        return AnyCodable(take<double>());
    }
    std::string_view takeText() {
        const auto length = take<Length>();
        std::string_view text(reinterpret_cast<const char*>(at), length);
        at += length;
        return text;
    }
};

}  // namespace

ParameterSnapshot::ParameterSnapshot(const MVKCustomEventParameters& parameters) {
    const auto& all = parameters.getAllParameters();
    if (all.empty()) {
        return;
    }
    std::size_t size = sizeof(Length);
    for (const auto& [key, value] : all) {
        size += 1 + textSize(key);
        if (const auto* text = std::get_if<std::string>(&value)) {
            size += textSize(*text);
        } else {
            size += std::holds_alternative<bool>(value) ? sizeof(bool) : sizeof(std::int64_t);
        }
    }
    block_ = std::unique_ptr<unsigned char[]>(new unsigned char[size]);
    bytes_ = size;
    auto* at = put(block_.get(), static_cast<Length>(all.size()));
    for (const auto& [key, value] : all) {
        if (const auto* text = std::get_if<std::string>(&value)) {
            at = putText(put(at, Kind::text), key);
            at = putText(at, *text);
        } else if (const auto* integer = std::get_if<std::int64_t>(&value)) {
            at = put(putText(put(at, Kind::integer), key), *integer);
        } else if (const auto* real = std::get_if<double>(&value)) {
            at = put(putText(put(at, Kind::real), key), *real);
        } else {
            at = put(putText(put(at, Kind::boolean), key), std::get<bool>(value));
        }
    }
}

std::size_t ParameterSnapshot::size() const noexcept {
    return block_ == nullptr ? 0 : Reader{block_.get()}.take<Length>();
}

AnyCodable::Object ParameterSnapshot::object() const {
    AnyCodable::Object::Entries entries;
    if (block_ == nullptr) {
        return AnyCodable::Object(std::move(entries));
    }
    Reader reader{block_.get()};
    const auto count = reader.take<Length>();
    entries.reserve(count);
    for (Length index = 0; index < count; ++index) {
        const auto kind = reader.take<Kind>();
        std::string key(reader.takeText());
        entries.emplace_back(std::move(key), reader.takeValue(kind));
    }
    return AnyCodable::Object(std::move(entries));
}

}  // namespace mvk
