#include "support/ScopedEnvironment.hpp"

#include <cstdlib>

namespace mvk::test {

namespace {

void apply(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

}  // namespace

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* previous = std::getenv(name_.c_str())) {
        previous_ = previous;
    }
    apply(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    apply(name_, previous_);
}

}  // namespace mvk::test
