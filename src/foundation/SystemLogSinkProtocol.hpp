#pragma once

#include <string>

#include "mvk/MVKLogLevel.hpp"

namespace mvk {

/// Where finished log lines go when the host gave no engine closure.
class SystemLogSinkProtocol {
  public:
    virtual ~SystemLogSinkProtocol() = default;
    virtual void write(MVKLogLevel level, const std::string& line) = 0;
};

}  // namespace mvk
