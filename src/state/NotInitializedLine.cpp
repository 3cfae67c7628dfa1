#include "state/NotInitializedLine.hpp"

#include "foundation/Clock.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

NotInitializedLine::NotInitializedLine()
    : line_([this] { return countedTotal_.load() != 0; }, [this] { writeCounted(); }) {}

NotInitializedLine& NotInitializedLine::shared() {
    // Never destroyed: blocks dropped at exit, and the delayed flush, reach it.
    static auto* line = new NotInitializedLine();
    return *line;
}

std::string NotInitializedLine::message(std::string_view method) {
    return "In the " + std::string(method) +
           " method an error has occurred: The SDK is not initialized yet!";
}

void NotInitializedLine::dropped(std::string_view method) noexcept {
    try {
        bool named = false;
        {
            std::lock_guard lock(mutex_);
            const auto now = Clock::monotonicMillis();
            // A new second begins only once what the last one counted is told:
            // a steady stream of dropped calls is told in one line a second.
            if (countedTotal_.load() == 0 && (secondAt_ == never || now < secondAt_ ||
                                              now - secondAt_ >= PacedLine::lineEveryMillis)) {
                secondAt_ = now;
                named_ = 0;
            }
            if (named_ < namedEachSecond) {
                ++named_;
                named = true;
            } else {
                auto counted = counted_.find(method);
                if (counted == counted_.end()) {
                    counted = counted_.emplace(std::string(method), 0).first;
                }
                ++counted->second;
                countedTotal_.fetch_add(1);
            }
        }
        if (named) {
            line_.wrote();
            Logger::writeLog(MVKLogLevel::error, message(method));
        } else {
            line_.counted();
        }
    } catch (...) {
        // A line that cannot be built is not worth failing the queue over.
    }
}

void NotInitializedLine::tellNow() noexcept {
    line_.tellNow();
    std::lock_guard lock(mutex_);
    if (countedTotal_.load() == 0) {
        secondAt_ = never;
    }
}

void NotInitializedLine::writeCounted() noexcept {
    try {
        std::map<std::string, std::uint64_t, std::less<>> counted;
        std::uint64_t total = 0;
        {
            std::lock_guard lock(mutex_);
            counted.swap(counted_);
            total = countedTotal_.exchange(0);
            secondAt_ = Clock::monotonicMillis();
        }
        if (total == 0) {
            return;
        }
        std::string text = "In " + std::to_string(total) +
                           (total == 1 ? " more call" : " more calls") +
                           " since the last line an error has occurred: The SDK is not "
                           "initialized yet! By method:";
        for (const auto& [method, calls] : counted) {
            text += ' ';
            text += method;
            text += ' ';
            text += std::to_string(calls);
            text += ',';
        }
        text.pop_back();
        Logger::writeLog(MVKLogLevel::error, text);
    } catch (...) {
    }
}

}  // namespace mvk
