#include "state/LegacyPlistScan.hpp"

#include <algorithm>
#include <optional>
#include <vector>

namespace mvk {

namespace {

constexpr std::string_view magic = "bplist00";
constexpr std::uint64_t trailerSize = 32;

/// One object's marker, read without following its references.
struct ObjectShape {
    bool isText = false;
    /// Bytes of text or data the loaded object holds (texts as UTF-8 at most).
    std::uint64_t payload = 0;
    /// Where the references start, and how many: a dictionary lists its keys
    /// first, then its values.
    std::uint64_t referencesAt = 0;
    std::uint64_t referenceCount = 0;
    std::uint64_t keyCount = 0;
};

class Scanner {
  public:
    explicit Scanner(std::string_view bytes) : bytes_(bytes) {}

    bool run() {
        if (!readTrailer()) {
            return false;
        }
        return walkFrom(top_);
    }

  private:
    std::uint8_t byteAt(std::uint64_t at) const { return static_cast<std::uint8_t>(bytes_[at]); }

    /// Big-endian unsigned of `width` bytes at `at`, which must end by `limit`.
    std::optional<std::uint64_t> readUnsigned(std::uint64_t at, std::uint64_t width,
                                              std::uint64_t limit) const {
        if (width == 0 || width > 8 || at > limit || width > limit - at) {
            return std::nullopt;
        }
        std::uint64_t value = 0;
        for (std::uint64_t i = 0; i < width; ++i) {
            value = (value << 8) | byteAt(at + i);
        }
        return value;
    }

    bool readTrailer() {
        const std::uint64_t size = bytes_.size();
        if (size < magic.size() + 1 + trailerSize || bytes_.substr(0, magic.size()) != magic) {
            return false;
        }
        const std::uint64_t trailerAt = size - trailerSize;
        offsetSize_ = byteAt(trailerAt + 6);
        referenceSize_ = byteAt(trailerAt + 7);
        count_ = *readUnsigned(trailerAt + 8, 8, size);
        top_ = *readUnsigned(trailerAt + 16, 8, size);
        tableAt_ = *readUnsigned(trailerAt + 24, 8, size);
        if (offsetSize_ < 1 || offsetSize_ > 8 || referenceSize_ < 1 || referenceSize_ > 8) {
            return false;
        }
        // Each reachable object costs at least `nodeCost` once loaded, so a
        // table longer than this cannot pass anyway; the bound keeps the
        // scan's own bookkeeping small.
        const std::uint64_t maxObjects =
            LegacyPlistScan::maxExpandedCost / LegacyPlistScan::nodeCost;
        if (count_ == 0 || count_ > maxObjects || top_ >= count_) {
            return false;
        }
        if (tableAt_ <= magic.size() || tableAt_ > trailerAt ||
            count_ > (trailerAt - tableAt_) / offsetSize_) {
            return false;
        }
        state_.assign(count_, State::unseen);
        cost_.assign(count_, 0);
        depth_.assign(count_, 0);
        return true;
    }

    std::optional<ObjectShape> shape(std::uint64_t index) const {
        const auto at =
            readUnsigned(tableAt_ + index * offsetSize_, offsetSize_, bytes_.size() - trailerSize);
        if (!at || *at < magic.size() || *at >= tableAt_) {
            return std::nullopt;
        }
        const std::uint8_t marker = byteAt(*at);
        const std::uint8_t low = marker & 0x0F;
        std::uint64_t position = *at + 1;
        const auto fits = [&](std::uint64_t count, std::uint64_t unit) {
            return count <= (tableAt_ - position) / unit;
        };
        const auto length = [&]() -> std::optional<std::uint64_t> {
            if (low != 0x0F) {
                return low;
            }
            if (position >= tableAt_) {
                return std::nullopt;
            }
            const std::uint8_t lengthMarker = byteAt(position);
            if ((lengthMarker >> 4) != 0x1 || (lengthMarker & 0x0F) > 3) {
                return std::nullopt;
            }
            const std::uint64_t width = 1ull << (lengthMarker & 0x0F);
            auto value = readUnsigned(position + 1, width, tableAt_);
            position += 1 + width;
            return value;
        };

        ObjectShape result;
        switch (marker >> 4) {
            case 0x0:  // false, true
                return (low == 0x8 || low == 0x9) ? std::optional(result) : std::nullopt;
            case 0x1:  // integer of 1 to 16 bytes
                return (low <= 4 && fits(1ull << low, 1)) ? std::optional(result) : std::nullopt;
            case 0x2:  // real of 4 or 8 bytes
                return ((low == 2 || low == 3) && fits(1ull << low, 1)) ? std::optional(result)
                                                                        : std::nullopt;
            case 0x3:  // date
                return (low == 3 && fits(8, 1)) ? std::optional(result) : std::nullopt;
            case 0x4:    // data
            case 0x5: {  // ASCII text
                auto count = length();
                if (!count || !fits(*count, 1)) {
                    return std::nullopt;
                }
                result.isText = (marker >> 4) == 0x5;
                result.payload = *count;
                return result;
            }
            case 0x6: {  // UTF-16 text: up to three UTF-8 bytes per unit
                auto count = length();
                if (!count || !fits(*count, 2)) {
                    return std::nullopt;
                }
                result.isText = true;
                result.payload = *count * 3;
                return result;
            }
            case 0x8:  // reference of a keyed archive
                return fits(low + 1u, 1) ? std::optional(result) : std::nullopt;
            case 0xA: {  // array
                auto count = length();
                if (!count || !fits(*count, referenceSize_)) {
                    return std::nullopt;
                }
                result.referencesAt = position;
                result.referenceCount = *count;
                return result;
            }
            case 0xD: {  // dictionary
                auto count = length();
                if (!count || !fits(*count, referenceSize_) ||
                    *count > (tableAt_ - position) / referenceSize_ / 2) {
                    return std::nullopt;
                }
                result.referencesAt = position;
                result.referenceCount = *count * 2;
                result.keyCount = *count;
                return result;
            }
            default:
                return std::nullopt;
        }
    }

    enum class State : std::uint8_t { unseen, open, done };

    struct Frame {
        std::uint64_t index;
        ObjectShape shape;
        std::uint64_t next = 0;
        std::uint64_t cost = 0;
        std::size_t childDepth = 0;
    };

    // Depth-first over the object graph with an explicit stack, so neither
    // nesting nor cycles can grow the call stack; an object reached again
    // while it is open is a cycle.
    bool walkFrom(std::uint64_t top) {
        std::vector<Frame> stack;
        if (!enter(top, stack)) {
            return false;
        }
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next < frame.shape.referenceCount) {
                const bool isKey = frame.next < frame.shape.keyCount;
                const auto child =
                    readUnsigned(frame.shape.referencesAt + frame.next * referenceSize_,
                                 referenceSize_, tableAt_);
                ++frame.next;
                if (!child || *child >= count_) {
                    return false;
                }
                if (isKey) {
                    auto keyShape = shape(*child);
                    if (!keyShape || !keyShape->isText) {
                        return false;
                    }
                }
                switch (state_[*child]) {
                    case State::open:
                        return false;
                    case State::done:
                        // Loaded again as a copy at this deeper place.
                        if (stack.size() + depth_[*child] > LegacyPlistScan::maxNesting ||
                            !addChild(frame, *child)) {
                            return false;
                        }
                        break;
                    case State::unseen:
                        if (stack.size() >= LegacyPlistScan::maxNesting || !enter(*child, stack)) {
                            return false;
                        }
                        break;
                }
                continue;
            }
            const std::uint64_t index = frame.index;
            const std::uint64_t cost = LegacyPlistScan::nodeCost + frame.shape.payload + frame.cost;
            if (cost > LegacyPlistScan::maxExpandedCost) {
                return false;
            }
            cost_[index] = cost;
            depth_[index] = static_cast<std::uint8_t>(frame.childDepth + 1);
            state_[index] = State::done;
            stack.pop_back();
            if (!stack.empty() && !addChild(stack.back(), index)) {
                return false;
            }
        }
        return true;
    }

    bool enter(std::uint64_t index, std::vector<Frame>& stack) {
        auto objectShape = shape(index);
        if (!objectShape) {
            return false;
        }
        state_[index] = State::open;
        stack.push_back(Frame{index, *objectShape});
        return true;
    }

    // The loader copies a shared object once per reference, so each reference
    // adds the child's whole cost.
    bool addChild(Frame& parent, std::uint64_t child) {
        parent.cost += cost_[child];
        parent.childDepth = std::max<std::size_t>(parent.childDepth, depth_[child]);
        return parent.cost <= LegacyPlistScan::maxExpandedCost;
    }

    std::string_view bytes_;
    std::uint64_t offsetSize_ = 0;
    std::uint64_t referenceSize_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t top_ = 0;
    std::uint64_t tableAt_ = 0;
    std::vector<State> state_;
    std::vector<std::uint32_t> cost_;
    std::vector<std::uint8_t> depth_;
};

}  // namespace

bool LegacyPlistScan::isSafeToLoad(std::string_view bytes) {
    return Scanner(bytes).run();
}

}  // namespace mvk
