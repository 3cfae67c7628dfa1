#include "device/DisplayPpi.hpp"

#include <charconv>
#include <string>

namespace mvk {

namespace {

struct ModelNumbers {
    std::string_view family;
    std::int64_t major = 0;
    std::int64_t minor = 0;
};

std::int64_t numberOrZero(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

ModelNumbers parse(std::string_view model) {
    constexpr std::string_view trimmed = "0123456789,.";
    constexpr std::string_view kept = "0123456789,";

    ModelNumbers numbers;
    const auto first = model.find_first_not_of(trimmed);
    if (first != std::string_view::npos) {
        numbers.family = model.substr(first, model.find_last_not_of(trimmed) - first + 1);
    }
    std::string digits;
    for (char c : model) {
        if (kept.find(c) != std::string_view::npos) {
            digits += c;
        }
    }
    const auto comma = digits.find(',');
    numbers.major = numberOrZero(std::string_view(digits).substr(0, comma));
    if (comma != std::string::npos) {
        const auto rest = std::string_view(digits).substr(comma + 1);
        numbers.minor = numberOrZero(rest.substr(0, rest.find(',')));
    }
    return numbers;
}

bool in(std::int64_t value, std::int64_t low, std::int64_t high) {
    return value >= low && value <= high;
}

std::optional<std::int64_t> phone(std::int64_t M, std::int64_t m) {
    if (in(M, 1, 2)) {
        return 163;
    }
    if (in(M, 3, 6) || (M == 7 && m == 2) || ((M == 8 || M == 10) && (m == 1 || m == 4)) ||
        (M == 9 && (m == 1 || m == 3)) || (M == 11 && m == 8) || (M == 12 && (m == 1 || m == 8))) {
        return 326;
    }
    if ((M == 7 && m == 1) || (M == 8 && m == 2) || (M == 9 && (m == 2 || m == 4)) ||
        (M == 10 && (m == 2 || m == 5))) {
        return 401;
    }
    if ((M == 10 && (m == 3 || m == 6)) || (M == 11 && in(m, 2, 6)) || (M == 12 && in(m, 3, 5)) ||
        (M == 13 && m == 4)) {
        return 458;
    }
    if (M == 13 && (m == 2 || m == 3)) {
        return 460;
    }
    if (M == 13 && m == 1) {
        return 476;
    }
    return std::nullopt;
}

std::optional<std::int64_t> tablet(std::int64_t M, std::int64_t m) {
    if (in(M, 1, 2) && in(m, 1, 4)) {
        return 132;
    }
    if ((M == 5 && (m == 3 || m == 4)) || (M == 3 && in(m, 1, 6)) || in(M, 6, 8) ||
        (M == 11 && (in(m, 1, 4) || m == 6 || m == 7))) {
        return 264;
    }
    if ((M == 5 && (m == 1 || m == 2)) || (M == 4 && in(m, 4, 9)) ||
        (M == 13 && (m == 1 || m == 2))) {
        return 326;
    }
    if (M == 2 && in(m, 5, 7)) {
        return 163;
    }
    return std::nullopt;
}

std::optional<std::int64_t> player(std::int64_t M) {
    if (in(M, 1, 3)) {
        return 163;
    }
    if (in(M, 4, 9)) {
        return 326;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> DisplayPpi::forModel(std::string_view model) {
    const auto numbers = parse(model);
    if (numbers.family == "iPhone") {
        return phone(numbers.major, numbers.minor);
    }
    if (numbers.family == "iPad") {
        return tablet(numbers.major, numbers.minor);
    }
    if (numbers.family == "iPod") {
        return player(numbers.major);
    }
    return std::nullopt;
}

}  // namespace mvk
