#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace mvk {

/// What the captures of a queued call hold on the heap besides the block
/// itself: texts, map and list nodes, the values inside them. The income
/// queue's bound charges a call for it, so a backlog of long texts or large
/// maps is held to the bound as a backlog of small calls is.
///
/// Only `heldBytes` makes one, and a call cannot be queued without one: a
/// capture left out is then a visible omission at the call, not a silent one.
/// A type of the library's own is measured by a `heldBytesOf` overload beside
/// the code that queues it (found by argument-dependent lookup); a capture
/// type with none does not compile.
class HeldBytes {
  public:
    std::size_t bytes() const noexcept { return bytes_; }

  private:
    explicit HeldBytes(std::size_t bytes) noexcept : bytes_(bytes) {}
    template <typename... Values>
    friend HeldBytes heldBytes(const Values&... values) noexcept;

    std::size_t bytes_;
};

/// What the allocator takes for a block of `size` bytes: its header word,
/// rounded to 16 bytes, 32 at least (as glibc's malloc does).
constexpr std::size_t heapBlockBytes(std::size_t size) noexcept {
    if (size == 0) {
        return 0;
    }
    const std::size_t chunk = (size + sizeof(void*) + 15) / 16 * 16;
    return chunk < 32 ? 32 : chunk;
}

// Declared before any is defined, so that nested containers find each other.
template <typename Value>
requires std::is_arithmetic_v<Value> || std::is_enum_v<Value>
constexpr std::size_t heldBytesOf(const Value&) noexcept {
    return 0;
}
inline std::size_t heldBytesOf(const std::string& text) noexcept;
template <typename First, typename Second>
std::size_t heldBytesOf(const std::pair<First, Second>& pair) noexcept;
template <typename Value>
std::size_t heldBytesOf(const std::optional<Value>& value) noexcept;
template <typename Value, typename Allocator>
std::size_t heldBytesOf(const std::vector<Value, Allocator>& values) noexcept;
template <typename Key, typename Value, typename Compare, typename Allocator>
std::size_t heldBytesOf(const std::map<Key, Value, Compare, Allocator>& map) noexcept;
template <typename Key, typename Value, typename Hash, typename Equal, typename Allocator>
std::size_t heldBytesOf(const std::unordered_map<Key, Value, Hash, Equal, Allocator>& map) noexcept;

/// A short text lives inside the string object itself (no heap).
inline std::size_t heldBytesOf(const std::string& text) noexcept {
    // Compared as addresses: the text and the object need not be one array.
    const auto object = reinterpret_cast<std::uintptr_t>(&text);
    const auto data = reinterpret_cast<std::uintptr_t>(text.data());
    const bool inside = data >= object && data < object + sizeof(text);
    return inside ? 0 : heapBlockBytes(text.capacity() + 1);
}

template <typename First, typename Second>
std::size_t heldBytesOf(const std::pair<First, Second>& pair) noexcept {
    return heldBytesOf(pair.first) + heldBytesOf(pair.second);
}

template <typename Value>
std::size_t heldBytesOf(const std::optional<Value>& value) noexcept {
    return value ? heldBytesOf(*value) : 0;
}

/// The elements of a range: what each holds, unless its type holds nothing.
template <typename Range>
std::size_t heldBytesOfElements(const Range& range) noexcept {
    using Element = typename Range::value_type;
    std::size_t bytes = 0;
    if constexpr (!std::is_arithmetic_v<Element> && !std::is_enum_v<Element>) {
        for (const auto& element : range) {
            bytes += heldBytesOf(element);
        }
    }
    return bytes;
}

template <typename Value, typename Allocator>
std::size_t heldBytesOf(const std::vector<Value, Allocator>& values) noexcept {
    return heapBlockBytes(values.capacity() * sizeof(Value)) + heldBytesOfElements(values);
}

/// A tree node: colour and three links beside the entry.
template <typename Key, typename Value, typename Compare, typename Allocator>
std::size_t heldBytesOf(const std::map<Key, Value, Compare, Allocator>& map) noexcept {
    constexpr std::size_t node = heapBlockBytes(4 * sizeof(void*) + sizeof(std::pair<Key, Value>));
    return map.size() * node + heldBytesOfElements(map);
}

/// A hash node: a link and the cached hash beside the entry, and the buckets.
template <typename Key, typename Value, typename Hash, typename Equal, typename Allocator>
std::size_t heldBytesOf(
    const std::unordered_map<Key, Value, Hash, Equal, Allocator>& map) noexcept {
    constexpr std::size_t node = heapBlockBytes(2 * sizeof(void*) + sizeof(std::pair<Key, Value>));
    return map.size() * node + heapBlockBytes(map.bucket_count() * sizeof(void*)) +
           heldBytesOfElements(map);
}

/// What `values` hold between them, for the income queue's bound.
template <typename... Values>
HeldBytes heldBytes(const Values&... values) noexcept {
    return HeldBytes((std::size_t{0} + ... + heldBytesOf(values)));
}

}  // namespace mvk
