#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace mvk::bench {

/// Call times in nanoseconds, in buckets a quarter of a power of two wide.
class Histogram {
  public:
    void add(std::int64_t nanoseconds) {
        const auto value = static_cast<std::uint64_t>(std::max<std::int64_t>(nanoseconds, 1));
        const int power = 63 - __builtin_clzll(value);
        const int quarter = power >= 2 ? static_cast<int>((value >> (power - 2)) & 3) : 0;
        ++buckets_[static_cast<std::size_t>(std::min(power * 4 + quarter, size - 1))];
        ++count_;
    }
    void merge(const Histogram& other) {
        for (std::size_t i = 0; i < buckets_.size(); ++i) {
            buckets_[i] += other.buckets_[i];
        }
        count_ += other.count_;
    }
    /// The upper edge of the bucket holding the given share of calls.
    double percentile(double share) const {
        const auto wanted = static_cast<std::uint64_t>(share * static_cast<double>(count_));
        std::uint64_t seen = 0;
        for (int i = 0; i < size; ++i) {
            seen += buckets_[static_cast<std::size_t>(i)];
            if (seen > wanted) {
                return upperEdge(i);
            }
        }
        return upperEdge(size - 1);
    }
    void print(const char* title) const {
        std::fprintf(stderr, "%s: %llu calls\n", title, static_cast<unsigned long long>(count_));
        for (int i = 0; i < size; ++i) {
            const auto n = buckets_[static_cast<std::size_t>(i)];
            if (n * 1000 >= count_ && n > 0) {
                std::fprintf(stderr, "  <= %9.0f ns  %6.2f%%\n", upperEdge(i),
                             100.0 * static_cast<double>(n) / static_cast<double>(count_));
            }
        }
    }

  private:
    static double upperEdge(int bucket) {
        const int power = bucket / 4;
        const int quarter = bucket % 4;
        return static_cast<double>(1ULL << power) * (1.0 + (quarter + 1) / 4.0);
    }
    static constexpr int size = 4 * 40;
    std::array<std::uint64_t, size> buckets_{};
    std::uint64_t count_ = 0;
};

}  // namespace mvk::bench
