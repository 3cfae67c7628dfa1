#pragma once

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "events/Storable.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "platform/ApplicationSupportDirectory.hpp"

namespace mvk::bench {

// The database lives in the system's temporary folder, a real file system here
// (not a RAM disk), so an autocommit insert pays for its journal and sync.
class BenchDirectory {
  public:
    BenchDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "mvk-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
        ApplicationSupportDirectory::setOverride(path_);
    }
    ~BenchDirectory() {
        ApplicationSupportDirectory::setOverride(std::nullopt);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    BenchDirectory(const BenchDirectory&) = delete;
    BenchDirectory& operator=(const BenchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// A custom event of a typical size (about 250 bytes of JSON).
inline const std::string typicalEventJson =
    R"({"code":"ce","timestamp":1700000000123,"sessionId":1700000000000,"level":3,)"
    R"("eventName":"level_complete","parameters":{"difficulty":"hard","score":12345,)"
    R"("time":93.5,"boss":"dragon","weapon":"bow","attempt":4},"inProgress":["Forest"]})";

struct TypicalEvent final : Storable {
    std::string code() const override { return "ce"; }
    std::string getJson() const override { return typicalEventJson; }
    std::string description() const override { return "custom event"; }
};

/// The parameters of a typical busy custom event: 20, half texts, half numbers.
inline MVKCustomEventParameters twentyParameters() {
    MVKCustomEventParameters parameters;
    for (int i = 0; i < 20; ++i) {
        const auto key = "param_" + std::to_string(i);
        if (i % 2 == 0) {
            parameters.addString(key, "value number " + std::to_string(i));
        } else {
            parameters.addInt(key, i * 1000);
        }
    }
    return parameters;
}

/// Resident memory of this process in bytes.
inline std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    std::size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

/// CPU seconds (user and system) spent so far by this process's threads,
/// summed per thread name. On a loaded machine wall time says little; this
/// says which thread did the work (the library's queues, the gateway, the
/// benchmark's own thread). Threads that have ended are not counted.
inline std::map<std::string, double> cpuSecondsByThreadName() {
    std::map<std::string, double> seconds;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream statFile(task.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(statFile)), {});
        const auto open = stat.find('(');
        const auto close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) {
            continue;
        }
        // Fields after the name: state is the 3rd, utime the 14th, stime the 15th.
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        double user = 0;
        double system = 0;
        for (int index = 3; fields >> field && index <= 15; ++index) {
            if (index == 14) {
                user = std::stod(field);
            } else if (index == 15) {
                system = std::stod(field);
            }
        }
        seconds[stat.substr(open + 1, close - open - 1)] += (user + system) / ticks;
    }
    return seconds;
}

/// Adds the per-thread-name CPU seconds spent between two readings to
/// `totals`.
inline void addCpuSpent(std::map<std::string, double>& totals,
                        const std::map<std::string, double>& before,
                        const std::map<std::string, double>& after) {
    for (const auto& [name, total] : after) {
        const auto found = before.find(name);
        totals[name] += total - (found != before.end() ? found->second : 0.0);
    }
}

/// `totals` as counters "cpu:<thread>" in seconds per iteration; names that
/// did no measurable work are left out.
template <class State>
void reportCpuSpent(State& state, const std::map<std::string, double>& totals) {
    for (const auto& [name, spent] : totals) {
        if (spent > 0) {
            state.counters["cpu:" + name] =
                benchmark::Counter(spent, benchmark::Counter::kAvgIterations);
        }
    }
}

}  // namespace mvk::bench
